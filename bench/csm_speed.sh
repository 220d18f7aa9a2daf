#!/usr/bin/env bash
# Speed and memory of csm-analysis at its built-in size (1,033 individuals,
# 152 markers, 200 permutations, a planted two-marker signal), against a
# reference build of the program (BASELINE, run with its one thread).
#
#   bench/csm_speed.sh BASELINE [BUILD_DIR] [WORK_DIR]
#
# BASELINE   a csm-analysis binary to compare with (e.g. a build of an
#            earlier commit)
# BUILD_DIR  holds the built csm-analysis (default <repo>/build)
# WORK_DIR   data, runs and the report csm_speed.txt (default
#            ${TMPDIR:-/tmp}/csm-speed-bench)
#
# In one run, each command once:
#   one analysis (How_many_imputation_to_deal_with_missing 1):
#     BASELINE; csm-analysis --threads 1; csm-analysis --threads 2
#   the default 10 repeated analyses: csm-analysis --threads 2
#     (the baseline's time for them is taken as 10 times its one analysis:
#     it runs every repetition again; FULL=1 runs it too, about 20 minutes)
# Every run's files and standard output must equal the baseline's (the
# repeated runs' those of the baseline's repeated run when FULL=1), or the
# script fails. Prints wall and CPU seconds, peak RSS and the ratios with
# the targets: one analysis >= 5 x faster on one thread, 2 threads >= 1.8 x
# faster than 1, the 10 analyses < 20 s wall on 2 threads.
set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
die() { echo "csm_speed.sh: $*" >&2; exit 1; }
[ $# -ge 1 ] || die "usage: csm_speed.sh BASELINE [BUILD_DIR] [WORK_DIR]"
baseline=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
build_dir=${2:-$repo/build}
work_dir=${3:-${TMPDIR:-/tmp}/csm-speed-bench}
[ -x "$baseline" ] || die "baseline $baseline is not an executable"
[ -x "$build_dir/csm-analysis" ] || die "csm-analysis not found in $build_dir (build it first)"
[ -x /usr/bin/time ] || die "/usr/bin/time (GNU time, Debian package time) is required"
exe=$(cd "$build_dir" && pwd)/csm-analysis
case $work_dir in /*) ;; *) work_dir=$PWD/$work_dir ;; esac
data=$work_dir/data
mkdir -p "$work_dir"

# SIZE="N M PERMUTATIONS" (for a quick check of the script) changes the size.
# shellcheck disable=SC2086
python3 "$here/csm_make_data.py" "$data" ${SIZE:-}  # default 1033 x 152, 200 permutations

# run NAME REPEATS BIN ARGS...: a fresh directory NAME with the parameter
# file asking for REPEATS analyses; "wall_s cpu_s peak_kib" to NAME.time.
run() {
    local name=$1 repeats=$2 bin=$3; shift 3
    local dir=$work_dir/$name
    rm -rf "$dir" && mkdir -p "$dir"
    sed "s/^\(How_many_imputation_to_deal_with_missing\t*\)[0-9]*$/\1$repeats/" "$data/parameter.txt" > "$dir/parameter.txt"
    local t0 t1
    t0=$(date +%s%N)
    (cd "$dir" && /usr/bin/time -f "%U %S %M" -o "$work_dir/$name.time1" "$bin" --genotypes "$data/genotypes.txt" \
        --phenotypes "$data/phenotypes.txt" --columns "$data/columns.txt" --data-dir "$data" "$@" \
        > "$work_dir/$name.out" 2> "$work_dir/$name.err") || die "$name failed (see $work_dir/$name.err)"
    t1=$(date +%s%N)
    awk -v w="$(( (t1 - t0) / 1000000 ))" '{printf "%.2f %.2f %d\n", w / 1000, $1 + $2, $3}' \
        "$work_dir/$name.time1" > "$work_dir/$name.time"
}
same() {  # same REF NAME: files and standard output
    diff -r "$work_dir/$1" "$work_dir/$2" > /dev/null || die "$2 wrote other files than $1"
    cmp -s "$work_dir/$1.out" "$work_dir/$2.out" || die "$2 printed other output than $1"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
run baseline 1 "$baseline"
run one_thread 1 "$exe" --threads 1
run two_threads 1 "$exe" --threads 2
run repeated 10 "$exe" --threads 2
same baseline one_thread
same baseline two_threads
if [ "${FULL:-0}" = 1 ]; then
    run baseline_repeated 10 "$baseline"
    same baseline_repeated repeated
fi

field() { cut -d' ' -f"$2" "$work_dir/$1.time"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
verdict() { awk -v v="$1" -v t="$2" -v d="$3" 'BEGIN {print ((d == "min" ? v >= t : v < t) ? "met" : "MISSED")}'; }
base=$(field baseline 1)
if [ "${FULL:-0}" = 1 ]; then base10=$(field baseline_repeated 1); else base10=$(awk -v b="$base" 'BEGIN {printf "%.2f", 10 * b}'); fi
one=$(field one_thread 1); two=$(field two_threads 1); rep=$(field repeated 1)
{
    echo "csm-analysis benchmark: individuals, markers, permutations: ${SIZE:-1033 152 200}; one run of each"
    echo "machine: $(nproc) CPUs, load average $(cut -d' ' -f1-3 /proc/loadavg) (before: $load_before)"
    printf "%-36s %8s %8s %9s %10s\n" run "wall s" "cpu s" "peak MiB" "speed-up"
    for name in baseline one_thread two_threads; do
        printf "%-36s %8s %8s %9d %10s\n" "$name (1 analysis)" "$(field $name 1)" "$(field $name 2)" \
            "$(( $(field $name 3) / 1024 ))" "$(ratio "$base" "$(field $name 1)")"
    done
    [ "${FULL:-0}" = 1 ] && printf "%-36s %8s %8s %9d %10s\n" "baseline (10 analyses)" "$base10" \
        "$(field baseline_repeated 2)" "$(( $(field baseline_repeated 3) / 1024 ))" "1.00"
    printf "%-36s %8s %8s %9d %10s\n" "two_threads (10 analyses)" "$rep" "$(field repeated 2)" \
        "$(( $(field repeated 3) / 1024 ))" "$(ratio "$base10" "$rep")"
    echo "baseline / 1 thread: $(ratio "$base" "$one") (target >= 5: $(verdict "$(ratio "$base" "$one")" 5 min))"
    echo "1 thread / 2 threads: $(ratio "$one" "$two") (target >= 1.8: $(verdict "$(ratio "$one" "$two")" 1.8 min))"
    echo "10 analyses on 2 threads: $rep s (target < 20 s: $(verdict "$rep" 20 max));" \
         "baseline 10 analyses ${base10} s$([ "${FULL:-0}" = 1 ] || echo " (10 x one analysis)"): ratio $(ratio "$base10" "$rep")"
    echo "CPU time, baseline / 1 thread: $(ratio "$(field baseline 2)" "$(field one_thread 2)");" \
         "processors in use on average (cpu s / wall s): 1 thread $(ratio "$(field one_thread 2)" "$one")," \
         "2 threads $(ratio "$(field two_threads 2)" "$two") (below 2 when other work shares the machine)"
    echo "outputs: byte-identical to the baseline"
} | tee "$work_dir/csm_speed.txt"
