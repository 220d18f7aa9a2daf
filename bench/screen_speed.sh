#!/usr/bin/env bash
# Speed and memory of snp-screen on a data file of the built-in size
# (547 individuals x 541,325 markers), against `wc -l` over the same file and
# against plink1.9 --model and --assoc --adjust on the same genotypes in
# PLINK binary format.
#
#   bench/screen_speed.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR  holds the built snp-screen (default <repo>/build; the program is
#            looked for there and in BUILD_DIR/src/screen)
# WORK_DIR   generated data (WORK_DIR/data, about 690 MB, made once and kept
#            while its stamp data.ok exists), logs and the report
#            (default ${TMPDIR:-/tmp}/snp-screen-bench)
#
# The data come from screen_make_data.cpp (compiled here with g++):
# per-marker allele frequencies from 0.02 to 0.5, about 1% missing codes,
# 50 markers with a raised case frequency, codes separated by blanks; the
# same genotypes are written as screen.bed/.bim/.fam (not timed).
# Every command runs REPEATS times (default 3), interleaved, after one
# read of the data file into the page cache; the best wall time counts,
# peak RSS is the largest. Targets: screen <= 3 x wc -l, screen faster than
# plink1.9 --model, screen peak RSS < 1 GiB. A missed target is reported,
# not an error; the exit status is non-zero only when a command fails or
# the screen's output is incomplete.
set -euo pipefail
export LC_ALL=C

REPEATS=${REPEATS:-3}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
build_dir=${1:-$repo/build}
work_dir=${2:-${TMPDIR:-/tmp}/snp-screen-bench}

die() { echo "screen_speed.sh: $*" >&2; exit 1; }

[[ $REPEATS =~ ^[1-9][0-9]*$ ]] || die "REPEATS must be a positive integer"
[ -x /usr/bin/time ] || die "/usr/bin/time (GNU time, Debian package time) is required"
command -v g++ >/dev/null || die "g++ is required to build the data generator"
command -v plink1.9 >/dev/null || die "plink1.9 is required (apt-get install plink1.9)"
[ -x "$build_dir/snp-screen" ] || die "snp-screen not found in $build_dir (build it first)"
exe=$(cd "$build_dir" && pwd)/snp-screen

case $work_dir in /*) ;; *) work_dir=$PWD/$work_dir ;; esac
data=$work_dir/data
run=$work_dir/run
mkdir -p "$data" "$run"

# ---------------------------------------------------------------- data
if [ ! -f "$data/data.ok" ]; then
    echo "generating the data in $data ..."
    g++ -O2 -std=c++20 -o "$work_dir/screen_make_data" "$here/screen_make_data.cpp"
    t0=$(date +%s)
    "$work_dir/screen_make_data" "$data"
    echo "samples=547 markers=541325" > "$data/data.ok"
    echo "data generated in $(( $(date +%s) - t0 )) s"
fi
data_file=$data/CaseAndControlData.txt
cat "$data_file" "$data/screen.bed" > /dev/null  # into the page cache

# ---------------------------------------------------------------- runs
# run_timed NAME CMD...: appends "wall_s user_s sys_s peak_kib" to NAME.times;
# the command's output goes to NAME.out / NAME.err.
run_timed() {
    local name=$1; shift
    local t0 t1
    t0=$(date +%s%N)
    /usr/bin/time -f "%U %S %M" -o "$run/$name.time1" "$@" > "$run/$name.out" 2> "$run/$name.err" \
        || die "$name failed (see $run/$name.err)"
    t1=$(date +%s%N)
    echo "$(( (t1 - t0) / 1000 )) $(cat "$run/$name.time1")" >> "$run/$name.times"
}

rm -f "$run"/*.times
for ((r = 1; r <= REPEATS; ++r)); do
    (cd "$run" && run_timed screen "$exe" --data-dir "$data" --names-dir "$data")
    run_timed wc wc -l "$data_file"
    run_timed plink_model plink1.9 --bfile "$data/screen" --model --out "$run/plink_model"
    run_timed plink_assoc plink1.9 --bfile "$data/screen" --assoc --adjust --out "$run/plink_assoc"
done

grep -q "^read data is finished$" "$run/screen.out" || die "the screen did not read its data"
[ "$(grep -c "# of satisfy FDR marker" "$run/FDR_results.txt")" = 5 ] || die "FDR_results.txt is incomplete"
found=$(grep "^FDR find Marker=" "$run/FDR_results.txt" | sed 's/FDR find Marker=\([0-9]*\).*/\1/' | sort -u \
        | grep -cxF -f "$data/associated.txt" || true)

# ---------------------------------------------------------------- report
best() { sort -n "$run/$1.times" | head -1 | awk '{printf "%.3f", $1 / 1e6}'; }
cpu() { sort -n "$run/$1.times" | head -1 | awk '{printf "%.2f", $2 + $3}'; }
peak() { sort -k4 -n "$run/$1.times" | tail -1 | awk '{printf "%.0f", $4 / 1024}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
verdict() { awk -v v="$1" -v t="$2" 'BEGIN {print (v < t) ? "met" : "MISSED"}'; }

screen_s=$(best screen); wc_s=$(best wc); model_s=$(best plink_model); assoc_s=$(best plink_assoc)
screen_mib=$(peak screen)
{
    echo "snp-screen benchmark: 547 individuals x 541,325 markers ($(du -m "$data_file" | cut -f1) MiB text), best of $REPEATS"
    echo "machine: $(nproc) CPUs, load average $(cut -d' ' -f1-3 /proc/loadavg)"
    printf "%-30s %9s %9s %10s %12s\n" command "wall s" "cpu s" "peak MiB" "screen / it"
    printf "%-30s %9s %9s %10s %12s\n" "snp-screen" "$screen_s" "$(cpu screen)" "$screen_mib" "1.00"
    printf "%-30s %9s %9s %10s %12s\n" "wc -l" "$wc_s" "$(cpu wc)" "$(peak wc)" "$(ratio "$screen_s" "$wc_s")"
    printf "%-30s %9s %9s %10s %12s\n" "plink1.9 --model" "$model_s" "$(cpu plink_model)" "$(peak plink_model)" \
        "$(ratio "$screen_s" "$model_s")"
    printf "%-30s %9s %9s %10s %12s\n" "plink1.9 --assoc --adjust" "$assoc_s" "$(cpu plink_assoc)" \
        "$(peak plink_assoc)" "$(ratio "$screen_s" "$assoc_s")"
    echo "targets: screen <= 3 x wc -l: $(verdict "$(ratio "$screen_s" "$wc_s")" 3.0001);" \
         "screen faster than plink1.9 --model: $(verdict "$screen_s" "$model_s");" \
         "peak < 1024 MiB: $(verdict "$screen_mib" 1024)"
    echo "associated markers selected (any model): $found of $(wc -l < "$data/associated.txt")"
} | tee "$work_dir/screen_speed.txt"
