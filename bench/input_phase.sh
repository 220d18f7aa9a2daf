#!/usr/bin/env bash
# Input + allele-coding phase benchmark of snp-impute.
#
#   bench/input_phase.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR  holds the built snp-impute (default: <repo>/build)
# WORK_DIR   inputs, parameter file, logs (default: ${TMPDIR:-/tmp}/snp-impute-bench);
#            inputs in WORK_DIR/data are generated once by make_input.py and
#            reused while WORK_DIR/data/inputs.ok exists.
#
# Measures in one run, interleaved, REPEATS times each (default 3, best kept):
#   (a) wall time and peak RSS of `snp-impute PARAMFILE` with first_marker 1,
#       last_marker 0, i.e. nothing imputed: only input and allele coding run;
#   (b) the baseline: wall time of `wc -l` over the same five data files.
# All files are read once beforehand so both sides read from the page cache.
# Prints a table with the ratio (a)/(b) and the peak memory against the
# targets (ratio <= 10, peak RSS < 1024 MiB). A missed target is reported,
# not an error: the exit status is non-zero only when a command fails.
set -euo pipefail
export LC_ALL=C

REPEATS=${REPEATS:-3}
RATIO_TARGET=10
MEM_TARGET_MIB=1024

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
build_dir=${1:-$repo/build}
work_dir=${2:-${TMPDIR:-/tmp}/snp-impute-bench}

die() { echo "input_phase.sh: $*" >&2; exit 1; }

[[ $REPEATS =~ ^[1-9][0-9]*$ ]] || die "REPEATS must be a positive integer"
[ -x /usr/bin/time ] || die "/usr/bin/time (GNU time) is required"
command -v python3 >/dev/null || die "python3 is required"
exe=$(cd "$build_dir" 2>/dev/null && pwd)/snp-impute \
    || die "build directory $build_dir does not exist"
[ -x "$exe" ] || die "$exe not found or not executable (build the project first)"

case $work_dir in /*) ;; *) work_dir=$PWD/$work_dir ;; esac
data_dir=$work_dir/data
run_dir=$work_dir/run
# Parameter values are blank-free tokens.
[[ $work_dir =~ [[:space:]] ]] && die "WORK_DIR must not contain white space: $work_dir"
mkdir -p "$run_dir"

# Wall clock in microseconds.
if [ -n "${EPOCHREALTIME:-}" ]; then
    now_us() { local t=${EPOCHREALTIME/[.,]/}; echo $((10#$t)); }
else
    now_us() { echo $(( $(date +%s%N) / 1000 )); }
fi

# ---------------------------------------------------------------- inputs
if [ ! -f "$data_dir/inputs.ok" ]; then
    echo "generating inputs in $data_dir ..."
    python3 "$here/make_input.py" "$data_dir"
fi
files=(hapmap.hap hapmap.map normal.map disease.geno normal.geno)
paths=()
for f in "${files[@]}"; do
    [ -f "$data_dir/$f" ] || die "missing input $data_dir/$f (delete $data_dir to regenerate)"
    paths+=("$data_dir/$f")
done
[ -f "$data_dir/disease.map" ] || die "missing input $data_dir/disease.map"
input_bytes=$(cat "${paths[@]}" | wc -c)   # also the warm-up read

param=$work_dir/parameter.txt
result=$run_dir/imputation_results.txt
source "$here/parameter_file.sh"
write_parameter_file "$exe" "$param" "$data_dir" "$result" 1 0

# ---------------------------------------------------------------- runs
# run_timed NAME LOG CMD...: runs CMD under GNU time with stdout+stderr to
# LOG; sets T_US (wall, microseconds) and RSS_KB (peak resident set, KiB).
run_timed() {
    local name=$1 log=$2; shift 2
    local tf=$work_dir/time.out t0 t1 rc=0
    t0=$(now_us)
    /usr/bin/time -f "%e %M" -o "$tf" "$@" </dev/null >"$log" 2>&1 || rc=$?
    t1=$(now_us)
    if (( rc != 0 )); then
        echo "input_phase.sh: $name exited with status $rc; last lines of $log:" >&2
        tail -n 20 "$log" >&2
        exit 1
    fi
    T_US=$((t1 - t0))
    RSS_KB=$(tail -n 1 "$tf" | awk '{print $2}')
}

# A run only counts when its log shows that both phases finished.
check_program_log() {
    local log=$1 marker
    for marker in "read data finish" "different_big=" "total time ="; do
        if ! grep -q "$marker" "$log"; then
            echo "input_phase.sh: snp-impute output lacks \"$marker\"; last lines of $log:" >&2
            tail -n 20 "$log" >&2
            exit 1
        fi
    done
    if [ -s "$result" ]; then
        die "$result is not empty: the run imputed markers, so it measured more than the input phases"
    fi
}

# Interleave program and baseline runs so that drift affects both alike.
cd "$run_dir"   # the program may write relative files; keep them here
prog_us=() wc_us=() rss_kb=()
for ((r = 1; r <= REPEATS; r++)); do
    rm -f "$result"
    log=$work_dir/snp-impute.$r.log
    run_timed snp-impute "$log" "$exe" "$param"
    check_program_log "$log"
    prog_us+=("$T_US"); rss_kb+=("$RSS_KB")

    run_timed "wc -l" "$work_dir/wc.$r.log" wc -l "${paths[@]}"
    wc_us+=("$T_US")
done

min_of() { printf '%s\n' "$@" | sort -n | head -n 1; }
max_of() { printf '%s\n' "$@" | sort -n | tail -n 1; }
best_prog=$(min_of "${prog_us[@]}")
best_wc=$(min_of "${wc_us[@]}")
peak_kb=$(max_of "${rss_kb[@]}")
secs() { awk -v u="$1" 'BEGIN { printf "%.3f", u / 1e6 }'; }
list_secs() { local u out=""; for u in "$@"; do out+="$(secs "$u") "; done; echo "${out% }"; }

ratio=$(awk -v a="$best_prog" -v b="$best_wc" 'BEGIN { printf "%.1f", (b > 0 ? a / b : 1e9) }')
peak_mib=$(awk -v k="$peak_kb" 'BEGIN { printf "%.1f", k / 1024 }')
ratio_ok=$(awk -v a="$best_prog" -v b="$best_wc" -v t="$RATIO_TARGET" \
    'BEGIN { print (b > 0 && a <= t * b) ? "yes" : "NO" }')
mem_ok=$(awk -v k="$peak_kb" -v t="$MEM_TARGET_MIB" \
    'BEGIN { print (k < t * 1024) ? "yes" : "NO" }')

report=$work_dir/input_phase.txt
{
    echo "snp-impute input + allele-coding phases (first_marker 1, last_marker 0)"
    echo "program: $exe"
    echo "inputs:  $data_dir ($(awk -v b="$input_bytes" 'BEGIN { printf "%.1f", b / 1048576 }') MiB in ${#files[@]} files:" \
         "143232 ref markers x 120 haplotypes, 29772 chip markers, 276 cases + 271 controls)"
    echo "runs:    $REPEATS each, interleaved, from page cache; best run kept"
    echo
    printf '%-28s %10s   %-22s %s\n' "measure" "value" "target" "met"
    printf '%-28s %10s   %-22s %s\n' "input+coding wall (s)" "$(secs "$best_prog")" "" ""
    printf '%-28s %10s   %-22s %s\n' "wc -l baseline wall (s)" "$(secs "$best_wc")" "" ""
    printf '%-28s %10s   %-22s %s\n' "ratio (input+coding / wc)" "$ratio" "<= $RATIO_TARGET" "$ratio_ok"
    printf '%-28s %10s   %-22s %s\n' "peak RSS (MiB)" "$peak_mib" "< $MEM_TARGET_MIB" "$mem_ok"
    echo
    echo "all runs (s): snp-impute $(list_secs "${prog_us[@]}"); wc -l $(list_secs "${wc_us[@]}")"
    echo "peak RSS per run (MiB): $(printf '%s\n' "${rss_kb[@]}" | awk '{ printf "%s%.1f", (NR > 1 ? " " : ""), $1 / 1024 }')"
} | tee "$report"
echo "(report saved to $report; program logs in $work_dir)"
