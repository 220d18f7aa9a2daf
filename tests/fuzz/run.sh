#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time:
#
#   tests/fuzz/run.sh [SECONDS [TARGET...]]
#
# SECONDS per target (default 30); TARGETs default to all of them (the list
# the build writes to targets.txt). Each target first replays its regression
# inputs (regressions/<target>/), then fuzzes from its seed corpus
# (corpus/<target>/, never written to) with dictionaries/<target>.dict when
# there is one, and a working corpus in the build directory that later runs
# continue from. Prints the executions per target; exits 1 when any target
# finds a fault, leaving the input that caused it in
# <build>/artifacts/<target>/.
#
# Environment: SNP_FUZZ_BUILD build directory (default build-fuzz in the
# repository), SNP_FUZZ_JOBS targets run at the same time (default 1).
# Long run: tests/fuzz/run.sh 600
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-30}"
shift || true
build="${SNP_FUZZ_BUILD:-$root/build-fuzz}"
jobs="${SNP_FUZZ_JOBS:-1}"

mkdir -p "$build"
cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j2 >"$build/build.log" 2>&1 || { tail -50 "$build/build.log"; exit 1; }

if [ $# -gt 0 ]; then targets=("$@"); else mapfile -t targets <"$build/targets.txt"; fi

# Runs one target; writes its log and a one-line summary to $build/logs/.
run_target() {
  local target="$1" bin="$build/fuzz_$1" logs="$build/logs"
  local work="$build/corpus/$target" artifacts="$build/artifacts/$target/"
  mkdir -p "$logs" "$work" "$artifacts"
  rm -f "$logs/$target.summary"
  local regressions=("$here/regressions/$target"/*)
  if [ -e "${regressions[0]}" ]; then
    if ! "$bin" "${regressions[@]}" >"$logs/$target.regressions.log" 2>&1; then
      echo "$target: FAILED on a regression input (see $logs/$target.regressions.log)" >"$logs/$target.summary"
      return 1
    fi
  fi
  local status=0 dict=()
  [ -f "$here/dictionaries/$target.dict" ] && dict=(-dict="$here/dictionaries/$target.dict")
  "$bin" "${dict[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1 \
    -artifact_prefix="$artifacts" "$work" "$here/corpus/$target" >"$logs/$target.log" 2>&1 || status=$?
  local runs
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/$target.log" | tail -1)"
  if [ "$status" -ne 0 ]; then
    echo "$target: FAILED after ${runs:-?} executions (see $logs/$target.log, input in $artifacts)" >"$logs/$target.summary"
    return 1
  fi
  printf '%-22s %12s executions in %s s, corpus %s inputs\n' "$target:" "${runs:-?}" "$seconds" \
    "$(find "$work" -type f | wc -l)" >"$logs/$target.summary"
}
export -f run_target
export build here seconds
scratch_root="$(test -d /dev/shm && echo /dev/shm || echo "${TMPDIR:-/tmp}")"
export SNP_FUZZ_SCRATCH="$scratch_root/snp-fuzz-run-$$"
trap 'rm -rf "$SNP_FUZZ_SCRATCH"' EXIT

failed=0
printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_target "$1"' _ {} || failed=1
for target in "${targets[@]}"; do
  cat "$build/logs/$target.summary" 2>/dev/null || { echo "$target: no result"; failed=1; }
done
if [ "$failed" -ne 0 ]; then
  for target in "${targets[@]}"; do
    if grep -q FAILED "$build/logs/$target.summary" 2>/dev/null; then
      echo "---- $target"
      grep -v '^#\|^INFO\|^Done\|^stat::\|^MERGE' "$build/logs/$target.log" 2>/dev/null | tail -40 ||
        tail -40 "$build/logs/$target.regressions.log"
    fi
  done
  exit 1
fi
