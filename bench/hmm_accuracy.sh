#!/usr/bin/env bash
# Accuracy, time and memory of Beagle 5.4, snp-impute's default engine and
# its hmm engine, back to back on the real-data split of real_data.sh
# (1000 Genomes chromosome 20 from the Debian package shapeit4-example).
#
#   bench/hmm_accuracy.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR, WORK_DIR and the split's settings (SEED, CHIP_DENSITY, REGION,
# PANEL, STUDY) as for real_data.sh, which makes the split and the converted
# files first (and prints its own report of the default engine). Further
# environment (defaults):
#   THREADS=2     threads of Beagle and of the hmm engine
#   GENETIC_MAP   the package's chr20.b37.gmap.gz, given to both HMMs (as a
#                 PLINK map to Beagle); "none" for a constant 1 cM/Mb
# Installs Beagle (Debian package beagle) when it is missing. Writes the
# table to WORK_DIR/run-TAG/hmm_accuracy.txt and WORK_DIR/hmm_accuracy.txt.
set -euo pipefail
export LC_ALL=C

SEED=${SEED:-1}
CHIP_DENSITY=${CHIP_DENSITY:-0.2}
REGION=${REGION:-1000000-4000000}
THREADS=${THREADS:-2}
export SEED CHIP_DENSITY REGION

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
build_dir=${1:-$repo/build}
work_dir=${2:-${TMPDIR:-/tmp}/snp-impute-real-bench}
case $work_dir in /*) ;; *) work_dir=$PWD/$work_dir ;; esac
die() { echo "hmm_accuracy.sh: $*" >&2; exit 1; }
[[ $THREADS =~ ^[1-9][0-9]*$ ]] || die "THREADS must be a positive integer"

if ! command -v beagle >/dev/null; then
    echo "installing Beagle (Debian package beagle) ..."
    if [ "$(id -u)" = 0 ]; then apt-get install -y -qq beagle >/dev/null; else sudo apt-get install -y -qq beagle >/dev/null; fi \
        || die "Beagle (Debian package beagle) is required"
fi

"$here/real_data.sh" "$build_dir" "$work_dir"
bin_dir=$(cd "$build_dir" && pwd)
tag=s$SEED-d$CHIP_DENSITY-$REGION
split_dir=$work_dir/split-$tag
run_dir=$work_dir/run-$tag

# Genetic map: the package's, as read by snp-impute and as a PLINK map for Beagle.
map_args=() beagle_map=()
if [ "${GENETIC_MAP:-}" != none ]; then
    gmap=${GENETIC_MAP:-$(find "$work_dir/source/root" -name 'chr20.b37.gmap.gz' | head -n 1)}
    [ -f "$gmap" ] || die "genetic map $gmap not found (GENETIC_MAP=none runs without one)"
    case $gmap in *.gz) gzip -dc "$gmap" ;; *) cat "$gmap" ;; esac >"$run_dir/genetic_map.txt"
    awk 'NR > 1 { print $2, ".", $3, $1 }' "$run_dir/genetic_map.txt" >"$run_dir/genetic_map.plink"
    map_args=(--genetic-map "$run_dir/genetic_map.txt")
    beagle_map=("map=$run_dir/genetic_map.plink")
fi

# timed NAME COMMAND...: runs in run_dir under GNU time -v (report in NAME.time).
timed() {
    local name=$1; shift
    echo "running $name ..."
    (cd "$run_dir" && /usr/bin/time -v -o "$name.time" "$@" >"$name.out" 2>"$name.err") \
        || { tail -n 20 "$run_dir/$name.out" "$run_dir/$name.err" >&2; die "$name failed"; }
}
rm -f "$run_dir"/{beagle,fast,hmm}.vcf.gz*
timed beagle beagle "ref=$split_dir/panel.vcf" "gt=$split_dir/study.vcf" out=beagle "nthreads=$THREADS" "${beagle_map[@]}"
timed fast "$bin_dir/snp-impute" parameter.txt --vcf-out fast.vcf.gz
timed hmm "$bin_dir/snp-impute" parameter.txt --engine=hmm --threads "$THREADS" "${map_args[@]}" --vcf-out hmm.vcf.gz
for name in fast hmm; do grep -q '^total time =' "$run_dir/$name.out" || die "snp-impute ($name) did not finish"; done

report=$run_dir/hmm_accuracy.txt
{
    echo "Beagle 5.4, snp-impute (default engine) and snp-impute --engine=hmm on split $tag"
    sed -n '2,8p' "$split_dir/split.txt"
    echo "threads: Beagle $THREADS, hmm $THREADS, default engine 1; genetic map: ${gmap:-none (1 cM/Mb)}"
    echo "load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) CPUs"
    echo
    python3 "$here/compare_imputers.py" "$split_dir/truth.vcf.gz" "$split_dir/chip.txt" \
        "beagle=$run_dir/beagle.vcf.gz:$run_dir/beagle.time" \
        "fast=$run_dir/fast.vcf.gz:$run_dir/fast.time" \
        "hmm=$run_dir/hmm.vcf.gz:$run_dir/hmm.time"
} >"$report"
cp "$report" "$work_dir/hmm_accuracy.txt"
echo
cat "$report"
