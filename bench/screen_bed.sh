#!/usr/bin/env bash
# snp-screen on the same genotypes as text (--data-dir) and as a PLINK 1
# binary fileset (--bfile): 547 individuals x 541,325 markers. Reports the
# wall and CPU time and the peak memory of each route, the ratio of the
# .bed route to the text route, and checks that both select the same
# markers with the same p-values.
#
#   bench/screen_bed.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR  holds the built snp-screen (default <repo>/build)
# WORK_DIR   generated data (WORK_DIR/data, made once by screen_make_data.cpp
#            and kept while its stamp data.ok exists; shared with
#            screen_speed.sh), logs and the report
#            (default ${TMPDIR:-/tmp}/snp-screen-bench)
#
# Every route runs REPEATS times (default 3), interleaved, after one read of
# both inputs into the page cache; the best wall time counts, peak RSS is the
# largest. Targets: the .bed route no slower than the text route, its peak
# RSS under 1 GiB. A missed target is reported, not an error; the exit
# status is non-zero when a run fails or the routes' selections differ.
set -euo pipefail
export LC_ALL=C

REPEATS=${REPEATS:-3}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
build_dir=${1:-$repo/build}
work_dir=${2:-${TMPDIR:-/tmp}/snp-screen-bench}

die() { echo "screen_bed.sh: $*" >&2; exit 1; }

[[ $REPEATS =~ ^[1-9][0-9]*$ ]] || die "REPEATS must be a positive integer"
[ -x /usr/bin/time ] || die "/usr/bin/time (GNU time, Debian package time) is required"
command -v g++ >/dev/null || die "g++ is required to build the data generator"
[ -x "$build_dir/snp-screen" ] || die "snp-screen not found in $build_dir (build it first)"
exe=$(cd "$build_dir" && pwd)/snp-screen

case $work_dir in /*) ;; *) work_dir=$PWD/$work_dir ;; esac
data=$work_dir/data
run=$work_dir/run-bed
mkdir -p "$data" "$run/text" "$run/bed" "$run/table"

if [ ! -f "$data/data.ok" ]; then
    echo "generating the data in $data ..."
    g++ -O2 -std=c++20 -o "$work_dir/screen_make_data" "$here/screen_make_data.cpp"
    "$work_dir/screen_make_data" "$data"
    echo "samples=547 markers=541325" > "$data/data.ok"
fi
cat "$data/CaseAndControlData.txt" "$data/screen.bed" "$data/screen.bim" "$data/screen.fam" > /dev/null

# run_timed NAME DIR CMD...: runs CMD in DIR and appends
# "wall_us user_s sys_s peak_kib" to NAME.times.
run_timed() {
    local name=$1 dir=$2; shift 2
    local t0 t1
    t0=$(date +%s%N)
    (cd "$dir" && /usr/bin/time -f "%U %S %M" -o "$run/$name.time1" "$@" > "$run/$name.out" 2> "$run/$name.err") \
        || die "$name failed (see $run/$name.err)"
    t1=$(date +%s%N)
    echo "$(( (t1 - t0) / 1000 )) $(cat "$run/$name.time1")" >> "$run/$name.times"
}

rm -f "$run"/*.times
for ((r = 1; r <= REPEATS; ++r)); do
    run_timed text "$run/text" "$exe" --data-dir "$data" --names-dir "$data"
    run_timed bed "$run/bed" "$exe" --bfile "$data/screen"
    run_timed table "$run/table" "$exe" --bfile "$data/screen" --out "$run/table/screen"
done

# Same markers, order and p-values (the chromosome and locus differ: the
# text route counts loci, the .bim gives positions).
selection() { sed 's/\t i\.e\. chr=.*\t pvalue=/ /' "$1"; }
cmp -s <(selection "$run/text/FDR_results.txt") <(selection "$run/bed/FDR_results.txt") \
    || die "the routes select differently (compare $run/text/FDR_results.txt and $run/bed/FDR_results.txt)"
selected=$(grep -c "^FDR find Marker=" "$run/bed/FDR_results.txt" || true)
rows=$(($(wc -l < "$run/table/screen.screen.tsv") - 1))
[ "$rows" = 541325 ] || die "the table holds $rows rows"

best() { sort -n "$run/$1.times" | head -1 | awk '{printf "%.3f", $1 / 1e6}'; }
cpu() { sort -n "$run/$1.times" | head -1 | awk '{printf "%.2f", $2 + $3}'; }
peak() { sort -k4 -n "$run/$1.times" | tail -1 | awk '{printf "%.0f", $4 / 1024}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
verdict() { awk -v v="$1" -v t="$2" 'BEGIN {print (v <= t) ? "met" : "MISSED"}'; }

text_s=$(best text); bed_s=$(best bed); table_s=$(best table)
{
    echo "snp-screen, text vs .bed: 547 individuals x 541,325 markers" \
         "($(du -m "$data/CaseAndControlData.txt" | cut -f1) MiB text, $(du -m "$data/screen.bed" | cut -f1) MiB .bed), best of $REPEATS"
    echo "machine: $(nproc) CPUs, load average $(cut -d' ' -f1-3 /proc/loadavg)"
    printf "%-36s %9s %9s %10s %10s\n" route "wall s" "cpu s" "peak MiB" "/ text"
    printf "%-36s %9s %9s %10s %10s\n" "--data-dir (CaseAndControlData.txt)" "$text_s" "$(cpu text)" "$(peak text)" "1.00"
    printf "%-36s %9s %9s %10s %10s\n" "--bfile" "$bed_s" "$(cpu bed)" "$(peak bed)" "$(ratio "$bed_s" "$text_s")"
    printf "%-36s %9s %9s %10s %10s\n" "--bfile --out (with the table)" "$table_s" "$(cpu table)" "$(peak table)" \
        "$(ratio "$table_s" "$text_s")"
    echo "same selection on both routes: $selected markers; table rows: $rows"
    echo "targets: .bed no slower than text: $(verdict "$bed_s" "$text_s");" \
         ".bed peak < 1024 MiB: $(verdict "$(peak bed)" 1023)"
} | tee "$work_dir/screen_bed.txt"
