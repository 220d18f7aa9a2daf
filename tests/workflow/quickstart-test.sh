#!/usr/bin/env bash
# quickstart-test.sh BIN_DIR SOURCE_DIR BUILD_DIR
# The README's quick start for one's own study, pasted as it stands (the
# indented block after its "quick start" marker):
# - from a folder outside the repository, with the programs on PATH;
# - from an install prefix (cmake --install BUILD_DIR --prefix), with the
#   installed workflow and programs only, from yet another folder.
# Each run writes its report into the folder it ran in.
set -euo pipefail
if [ $# -ne 3 ]; then
  echo "usage: $0 BIN_DIR SOURCE_DIR BUILD_DIR" >&2
  exit 2
fi
bin=$(realpath "$1")
src=$(realpath "$2")
build=$(realpath "$3")
work=$(mktemp -d "${TMPDIR:-/tmp}/quickstart-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

awk '/<!-- quick start/ { on = 1; next } on && /^    / { sub(/^    /, ""); print; started = 1; next }
     on && started && /^[^ ]/ { exit }' "$src/README.md" > "$work/quickstart.sh"
grep -q 'snakemake -s' "$work/quickstart.sh" || { echo "FAIL: no quick start found in README.md" >&2; exit 1; }

failures=0
# From the repository's workflow (a folder holding a link to it), the
# programs on PATH.
mkdir "$work/repository"
ln -s "$src/workflow" "$work/repository/workflow"
if ! (cd "$work/repository" && PATH=$bin:$PATH bash -e "$work/quickstart.sh") > "$work/repository.log" 2>&1; then
  tail -30 "$work/repository.log" >&2
  echo "FAIL: the quick start failed from the repository" >&2
  failures=$((failures + 1))
elif [ ! -s "$work/repository/my-study/results/report/report.html" ]; then
  echo "FAIL: the quick start wrote no report into my-study/results" >&2
  failures=$((failures + 1))
else
  echo "ok: the quick start runs from the repository"
fi

# From an install prefix: no build directory, no programs on PATH.
cmake --install "$build" --prefix "$work/prefix" > "$work/install.log" 2>&1 ||
  { cat "$work/install.log" >&2; echo "FAIL: cmake --install failed" >&2; exit 1; }
installed=$work/prefix/share/snp-toolkit/workflow
sed "s|^WORKFLOW=.*|WORKFLOW=$installed|" "$work/quickstart.sh" > "$work/quickstart-installed.sh"
mkdir "$work/elsewhere"
if ! (cd "$work/elsewhere" && PATH=/usr/local/bin:/usr/bin:/bin bash -e "$work/quickstart-installed.sh") \
    > "$work/installed.log" 2>&1; then
  tail -30 "$work/installed.log" >&2
  echo "FAIL: the quick start failed from the install prefix" >&2
  failures=$((failures + 1))
elif [ ! -s "$work/elsewhere/my-study/results/report/report.html" ]; then
  echo "FAIL: the installed quick start wrote no report into my-study/results" >&2
  failures=$((failures + 1))
elif ! grep -qF "$work/prefix/bin/snp-impute" "$work/elsewhere/my-study/results/report/report.html" &&
     ! grep -rqF "$work/prefix/bin/snp-impute" "$work/installed.log"; then
  echo "FAIL: the installed quick start did not run the installed programs" >&2
  failures=$((failures + 1))
else
  echo "ok: the quick start runs from the install prefix"
fi
[ ! -e "$installed/results" ] && [ ! -e "$installed/example-study-results" ] ||
  { echo "FAIL: results were written into the install tree" >&2; failures=$((failures + 1)); }
[ "$failures" -eq 0 ] && echo "quickstart-test: all passed"
exit $((failures > 0))
