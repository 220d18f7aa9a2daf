#!/usr/bin/env bash
# The hmm engine against Beagle 5.4 as the reference panel grows: panels
# simulated with scrm, back to back on one machine.
#
#   bench/hmm_scale.sh [BUILD_DIR] [WORK_DIR]
#
# The hmm engine reads the panel bit-packed (snp-convert panel --binary).
#
# Environment (defaults):
#   SIZES="500 2000 5000 20000"  panel individuals, one run per size
#   STUDY=1000     study individuals
#   LENGTH=1000000 region length in bases (1-5 Mb; theta and rho 400 and 320 per Mb)
#   THREADS=2      threads of Beagle and of the hmm engine
#   SEED=1
# The chip is a fifth of the markers, drawn among those with panel minor
# allele frequency >= 5% (real_split.py). Both imputers run without a
# genetic map (1 cM/Mb). Installs scrm, Beagle and GNU time (Debian
# packages scrm, beagle, time) when missing. Writes one table per size and
# all of them to WORK_DIR/hmm_scale.txt.
set -euo pipefail
export LC_ALL=C

SIZES=${SIZES:-500 2000 5000 20000}
STUDY=${STUDY:-1000}
LENGTH=${LENGTH:-1000000}
THREADS=${THREADS:-2}
SEED=${SEED:-1}

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
build_dir=${1:-$repo/build}
work_dir=${2:-${TMPDIR:-/tmp}/snp-impute-scale-bench}
case $work_dir in /*) ;; *) work_dir=$PWD/$work_dir ;; esac
die() { echo "hmm_scale.sh: $*" >&2; exit 1; }
[[ $THREADS =~ ^[1-9][0-9]*$ && $STUDY =~ ^[1-9][0-9]*$ && $LENGTH =~ ^[1-9][0-9]*$ ]] \
    || die "THREADS, STUDY and LENGTH must be positive integers"
bin_dir=$(cd "$build_dir" 2>/dev/null && pwd) || die "build directory $build_dir does not exist"
for exe in snp-convert snp-impute; do
    [ -x "$bin_dir/$exe" ] || die "$bin_dir/$exe not found (build the project first)"
done
for need in scrm:scrm beagle:beagle /usr/bin/time:time; do
    command -v "${need%%:*}" >/dev/null && continue
    echo "installing Debian package ${need##*:} ..."
    if [ "$(id -u)" = 0 ]; then apt-get install -y -qq "${need##*:}" >/dev/null; else sudo apt-get install -y -qq "${need##*:}" >/dev/null; fi \
        || die "Debian package ${need##*:} is required"
done
mkdir -p "$work_dir"

theta=$(awk "BEGIN { printf \"%.0f\", 400 * $LENGTH / 1e6 }")
rho=$(awk "BEGIN { printf \"%.0f\", 320 * $LENGTH / 1e6 }")
summary=$work_dir/hmm_scale.txt
: >"$summary"
for size in $SIZES; do
    [[ $size =~ ^[1-9][0-9]*$ ]] || die "SIZES must hold positive integers"
    dir=$work_dir/p$size-s$STUDY-l$LENGTH-seed$SEED
    mkdir -p "$dir"
    if [ ! -f "$dir/split/split.txt" ]; then
        echo "simulating $size + $STUDY individuals over $LENGTH bases ..."
        scrm $((2 * (size + STUDY))) 1 -t "$theta" -r "$rho" "$LENGTH" -l 100000 -seed "$SEED" $((SEED + 1)) $((SEED + 2)) \
            >"$dir/scrm.txt" || die "scrm failed"
        python3 "$here/scrm_to_vcf.py" "$dir/scrm.txt" "$LENGTH" "$dir/all.vcf"
        rm -f "$dir/scrm.txt"
        python3 "$here/real_split.py" "$dir/all.vcf" "$dir/split" --seed "$SEED" --region "1-$LENGTH" \
            --panel "$size" --study "$STUDY" --chip-density 0.2 --chip-maf 0.05 >/dev/null || die "real_split.py failed"
        rm -f "$dir/all.vcf"
    fi
    run=$dir/run
    rm -rf "$run" && mkdir -p "$run"
    "$bin_dir/snp-convert" panel --binary --vcf "$dir/split/panel.vcf" --out "$run" >/dev/null
    "$bin_dir/snp-convert" study --vcf "$dir/split/study.vcf" --cases "$dir/split/cases.txt" --out "$run" >/dev/null
    timed() {
        local name=$1; shift
        echo "running $name (panel $size) ..."
        (cd "$run" && /usr/bin/time -v -o "$name.time" "$@" >"$name.out" 2>"$name.err") \
            || { tail -n 20 "$run/$name.out" "$run/$name.err" >&2; die "$name failed"; }
    }
    timed beagle beagle "ref=$dir/split/panel.vcf" "gt=$dir/split/study.vcf" out=beagle "nthreads=$THREADS"
    # The hmm engine reads the bit-packed panel, as the study job does.
    "$bin_dir/snp-impute" --write-parameters "$run/parameter.binary.txt" "$run/parameter.txt" \
        Reference_data_file=hapmap.bin >/dev/null
    timed hmm "$bin_dir/snp-impute" parameter.binary.txt --engine=hmm --threads "$THREADS" --vcf-out hmm.vcf.gz
    grep -q '^total time =' "$run/hmm.out" || die "snp-impute did not finish"
    {
        echo "panel $size individuals, study $STUDY, $LENGTH bases, $THREADS threads each;" \
             "load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) CPUs"
        sed -n '4,6p' "$dir/split/split.txt"
        python3 "$here/compare_imputers.py" "$dir/split/truth.vcf.gz" "$dir/split/chip.txt" \
            "beagle=$run/beagle.vcf.gz:$run/beagle.time" "hmm=$run/hmm.vcf.gz:$run/hmm.time"
        echo
    } | tee -a "$summary"
done
echo "(tables in $summary)"
