#!/usr/bin/env bash
# report-test.sh BIN_DIR SOURCE_DIR
# The example study's report, opened in a headless Chromium
# (check_report.py): both plots drawn, the tables filled. A copy whose plots
# cannot be decoded and whose marker table is empty must fail the same check.
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 BIN_DIR SOURCE_DIR" >&2
  exit 2
fi
bin=$(realpath "$1")
src=$(realpath "$2")
for tool in chromium bcftools; do
  command -v $tool >/dev/null || { echo "FAIL: $tool is not installed (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/report-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
ln -s "$src/workflow" workflow
# The report's own interpreter: the one snakemake runs under.
python=$(head -n 1 "$(command -v snakemake)" | sed -n 's/^#! *//p')

snakemake -s "$src/workflow/Snakefile" --cores 2 --configfile "$src/workflow/example-study.yaml" \
  --config bin_dir="$bin" output_dir=out permutations=19 > run.log 2>&1 ||
  { tail -30 run.log >&2; echo "FAIL: the example study failed" >&2; exit 1; }
"$python" "$src/tests/workflow/check_report.py" out/report/report.html

# The damaged copy: undecodable plots, no selected markers.
sed -e 's|src="data:image/png;base64,[^"]*"|src="data:image/png;base64,AAAA"|g' \
    -e '/<table id="fdr-markers">/,/<\/table>/{/^<tr>/d}' out/report/report.html > out/report/damaged.html
if "$python" "$src/tests/workflow/check_report.py" out/report/damaged.html 2> damaged.err; then
  echo "FAIL: the check passed a report without plots or selected markers" >&2
  exit 1
fi
for message in "the manhattan plot did not load" "the qq plot did not load" "table fdr-markers is empty"; do
  grep -qF "$message" damaged.err || { cat damaged.err >&2; echo "FAIL: the damaged report was not reported: $message" >&2; exit 1; }
done
echo "ok: a report without plots or selected markers fails the check"
