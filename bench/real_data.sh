#!/usr/bin/env bash
# Imputation accuracy of snp-impute's VCF on real data: a phased 1000 Genomes
# VCF of chromosome 20 (Debian package shapeit4-example) split into a
# reference panel, a study typed at a chip of common markers, and the
# study's true genotypes.
#
#   bench/real_data.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR  holds snp-convert and snp-impute (default: <repo>/build)
# WORK_DIR   default ${TMPDIR:-/tmp}/snp-impute-real-bench:
#            source/       the package, unpacked once and reused
#            split-TAG/    the split (real_split.py), reused while its
#                          settings stay the same
#            run-TAG/      converted files, logs, imputed.vcf.gz, the report
#            real_data.txt the report of the last run (also imputed.vcf.gz,
#                          a link to the last run's VCF)
#            TAG = s<SEED>-d<CHIP_DENSITY>-<REGION>
# Environment (defaults): SEED=1, CHIP_DENSITY=0.2, REGION=1000000-4000000,
# PANEL=60, STUDY=240, SOURCE_VCF (a phased VCF to use instead of the
# package's).
#
# Runs snp-convert panel, snp-convert study and snp-impute --vcf-out under
# GNU time (wall time, peak memory), then bench/score_vcf.py on the VCF.
# Exits non-zero when a step fails.
set -euo pipefail
export LC_ALL=C

SEED=${SEED:-1}
CHIP_DENSITY=${CHIP_DENSITY:-0.2}
REGION=${REGION:-1000000-4000000}
PANEL=${PANEL:-60}
STUDY=${STUDY:-240}

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
build_dir=${1:-$repo/build}
work_dir=${2:-${TMPDIR:-/tmp}/snp-impute-real-bench}

die() { echo "real_data.sh: $*" >&2; exit 1; }

[[ $SEED =~ ^[0-9]+$ ]] || die "SEED must be a non-negative integer"
[[ $CHIP_DENSITY =~ ^0?\.[0-9]+$ ]] || die "CHIP_DENSITY must be a fraction such as 0.2"
[[ $REGION =~ ^[0-9]+-[0-9]+$ ]] || die "REGION must be START-END, e.g. 1000000-4000000"
[[ $PANEL =~ ^[1-9][0-9]*$ && $STUDY =~ ^[1-9][0-9]*$ ]] || die "PANEL and STUDY must be positive integers"
command -v python3 >/dev/null || die "python3 is required"
bin_dir=$(cd "$build_dir" 2>/dev/null && pwd) || die "build directory $build_dir does not exist"
for exe in snp-convert snp-impute; do
    [ -x "$bin_dir/$exe" ] || die "$bin_dir/$exe not found (build the project first)"
done
if [ ! -x /usr/bin/time ]; then
    echo "installing GNU time (Debian package time) ..."
    if [ "$(id -u)" = 0 ]; then apt-get install -y -qq time >/dev/null; else sudo apt-get install -y -qq time >/dev/null; fi \
        || die "GNU time (/usr/bin/time, Debian package time) is required"
fi

case $work_dir in /*) ;; *) work_dir=$PWD/$work_dir ;; esac
[[ $work_dir =~ [[:space:]] ]] && die "WORK_DIR must not contain white space: $work_dir"
tag=s$SEED-d$CHIP_DENSITY-$REGION
split_dir=$work_dir/split-$tag
run_dir=$work_dir/run-$tag
# The parameter file's paths are joined from directory and file names into
# 112-byte buffers.
((${#run_dir} <= 80)) || die "WORK_DIR too long: $run_dir must be at most 80 characters"
mkdir -p "$work_dir/source" "$split_dir" "$run_dir"
t_start=$(date +%s.%N)

# ---------------------------------------------------------------- data
if [ -z "${SOURCE_VCF:-}" ]; then
    src_dir=$work_dir/source
    SOURCE_VCF=$(find "$src_dir/root" -name reference.vcf.gz -path "*shapeit4*" 2>/dev/null | head -n 1 || true)
    if [ -z "$SOURCE_VCF" ]; then
        echo "fetching the Debian package shapeit4-example into $src_dir ..."
        (cd "$src_dir" && rm -f shapeit4-example_*.deb && apt-get download shapeit4-example) \
            || die "apt-get download shapeit4-example failed"
        rm -rf "$src_dir/root"
        dpkg-deb -x "$src_dir"/shapeit4-example_*.deb "$src_dir/root" || die "dpkg-deb -x failed"
        SOURCE_VCF=$(find "$src_dir/root" -name reference.vcf.gz -path '*shapeit4*' | head -n 1)
        [ -n "$SOURCE_VCF" ] || die "no reference.vcf.gz in the package shapeit4-example"
    fi
fi
[ -f "$SOURCE_VCF" ] || die "source VCF $SOURCE_VCF not found"

settings="$SOURCE_VCF seed=$SEED density=$CHIP_DENSITY region=$REGION panel=$PANEL study=$STUDY"
if [ "$(cat "$split_dir/split.ok" 2>/dev/null)" != "$settings" ]; then
    echo "splitting $SOURCE_VCF into $split_dir ..."
    rm -f "$split_dir/split.ok"
    python3 "$here/real_split.py" "$SOURCE_VCF" "$split_dir" --seed "$SEED" \
        --chip-density "$CHIP_DENSITY" --region "$REGION" --panel "$PANEL" --study "$STUDY" \
        >/dev/null || die "real_split.py failed"
    echo "$settings" >"$split_dir/split.ok"
fi
sed -n '1,8p' "$split_dir/split.txt"

# ---------------------------------------------------------------- runs
# timed NAME COMMAND...: runs the command under GNU time -v in run_dir,
# standard output to NAME.out, standard error to NAME.err, the time report
# to NAME.time; appends "NAME wall_s peak_MiB" to the step table.
steps=()
timed() {
    local name=$1; shift
    local rc=0
    (cd "$run_dir" && /usr/bin/time -v -o "$name.time" "$@" >"$name.out" 2>"$name.err") || rc=$?
    if ((rc != 0)); then
        echo "real_data.sh: $name exited with status $rc; last lines of its output:" >&2
        tail -n 20 "$run_dir/$name.out" "$run_dir/$name.err" >&2
        exit 1
    fi
    local wall rss
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0;
                for (i = 1; i <= n; i++) s = s * 60 + p[i]; printf "%.2f", s }' "$run_dir/$name.time")
    rss=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$run_dir/$name.time")
    steps+=("$(printf '%-22s %9s %10s' "$name" "$wall" "$rss")")
}

rm -f "$run_dir/imputed.vcf.gz" "$run_dir/imputed.vcf.gz.tbi" "$run_dir/parameter.txt"
echo "converting and imputing in $run_dir ..."
timed convert-panel "$bin_dir/snp-convert" panel --vcf "$split_dir/panel.vcf" --out "$run_dir"
timed convert-study "$bin_dir/snp-convert" study --vcf "$split_dir/study.vcf" \
    --cases "$split_dir/cases.txt" --out "$run_dir"
[ -f "$run_dir/parameter.txt" ] || die "snp-convert study wrote no parameter file"
timed impute "$bin_dir/snp-impute" "$run_dir/parameter.txt" --vcf-out "$run_dir/imputed.vcf.gz"
# snp-impute also exits 0 after a fatal input error: check what it wrote.
grep -q '^total time =' "$run_dir/impute.out" \
    || { tail -n 20 "$run_dir/impute.out" "$run_dir/impute.err" >&2; die "snp-impute did not finish"; }
[ -s "$run_dir/imputed.vcf.gz" ] || die "snp-impute wrote no VCF"
ln -sfn "$run_dir/imputed.vcf.gz" "$work_dir/imputed.vcf.gz"

# ---------------------------------------------------------------- scores
# score LABEL VCF [score_vcf.py options]: another imputer's VCF of the same
# split is scored the same way.
score() {
    local label=$1 vcf=$2; shift 2
    python3 "$here/score_vcf.py" "$split_dir/truth.vcf.gz" "$vcf" --label "$label" \
        --typed "$split_dir/chip.txt" --per-marker "$run_dir/$label.markers.tsv" "$@" \
        || die "score_vcf.py failed on $vcf"
}
echo "scoring ..."
scores=$(score snp-impute "$run_dir/imputed.vcf.gz")
t_end=$(date +%s.%N)

report=$run_dir/real_data.txt
{
    echo "snp-impute on real data: $(basename "$SOURCE_VCF") (package shapeit4-example), split $tag"
    echo "programs: $bin_dir/snp-convert, $bin_dir/snp-impute"
    sed -n '2,8p' "$split_dir/split.txt"
    echo
    printf '%-22s %9s %10s\n' "step" "wall (s)" "peak MiB"
    printf '%s\n' "${steps[@]}"
    echo "load average $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo unknown) on $(nproc) CPUs;" \
         "whole bench $(awk "BEGIN { printf \"%.1f\", $t_end - $t_start }") s"
    echo
    echo "$scores"
} >"$report"
cp "$report" "$work_dir/real_data.txt"
cat "$report"
echo "(report saved to $report and $work_dir/real_data.txt; per-marker scores in $run_dir/snp-impute.markers.tsv)"
