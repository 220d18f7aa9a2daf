#!/usr/bin/env bash
# Time and peak memory of a chunk of the hmm engine against the whole
# chromosome, both on haplotypes phased once: the chunk reads only the
# binary panel's columns its imputation blocks need, and, for comparison,
# the same chunk on the text panel, which is read whole.
#
#   bench/panel_chunk.sh SPLIT_DIR [BUILD_DIR] [WORK_DIR]
#
# SPLIT_DIR holds panel.vcf, study.vcf and cases.txt of one region (as
# real_split.py writes them, see hmm_scale.sh). The chromosome is COPIES
# copies of the region laid end to end (tile_region.py), the panel's
# individuals repeated WIDEN times; the chunk is the middle copy.
# Environment (defaults): COPIES=16 WIDEN=1 LENGTH=1000000 THREADS=2.
# Steps whose outputs exist in WORK_DIR are not redone (phasing takes long).
set -euo pipefail
export LC_ALL=C
COPIES=${COPIES:-16}
WIDEN=${WIDEN:-1}
LENGTH=${LENGTH:-1000000}
THREADS=${THREADS:-2}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
die() { echo "panel_chunk.sh: $*" >&2; exit 1; }
[ $# -ge 1 ] || die "usage: panel_chunk.sh SPLIT_DIR [BUILD_DIR] [WORK_DIR]"
split=$(cd "$1" && pwd) || die "split directory $1 not found"
bin=$(cd "${2:-$repo/build}" 2>/dev/null && pwd) || die "build directory not found"
work=${3:-${TMPDIR:-/tmp}/snp-panel-chunk-bench}
mkdir -p "$work/run" && work=$(cd "$work" && pwd)
command -v /usr/bin/time >/dev/null || die "GNU time is required (Debian package time)"
run=$work/run
if [ ! -f "$run/hapmap.bin" ]; then
    echo "laying out $COPIES copies of the region ..."
    python3 "$here/tile_region.py" "$split/panel.vcf" "$work/panel.vcf" --copies "$COPIES" --length "$LENGTH" --widen "$WIDEN"
    python3 "$here/tile_region.py" "$split/study.vcf" "$work/study.vcf" --copies "$COPIES" --length "$LENGTH"
    "$bin/snp-convert" panel --vcf "$work/panel.vcf" --out "$run" --binary >/dev/null
    "$bin/snp-convert" study --vcf "$work/study.vcf" --cases "$split/cases.txt" --out "$run" >/dev/null
    rm -f "$work/panel.vcf" "$work/study.vcf" "$run/phased.vcf"
fi
markers=$(awk '$1 == "population_marker" { print $2 }' "$run/parameter.txt")
haplotypes=$(awk '$1 == "population_sample" { print $2 }' "$run/parameter.txt")
per_copy=$((markers / COPIES))
first=$((per_copy * (COPIES / 2) + 1)) last=$((per_copy * (COPIES / 2 + 1)))
parameters() {  # NAME HAPLOTYPE_FILE FIRST LAST
    sed -e "s#^Reference_data_file .*#Reference_data_file $2#" -e "s#^first_marker .*#first_marker $3#" \
        -e "s#^last_marker .*#last_marker $4#" -e "s#^Imputation_result_data_file .*#Imputation_result_data_file $1.txt#" \
        "$run/parameter.txt" >"$run/$1.par"
}
timed() {  # NAME ARGUMENTS...
    local name=$1; shift
    (cd "$run" && /usr/bin/time -v -o "$name.time" "$bin/snp-impute" --engine=hmm --threads "$THREADS" "$@" \
        >"$name.out" 2>"$name.err") || { tail -n 5 "$run/$name.err" >&2; die "$name failed"; }
}
if [ ! -f "$run/phased.vcf" ]; then
    echo "phasing the whole chromosome once ..."
    parameters phase hapmap.bin 1 "$markers"
    timed phase --phase-only phased.vcf phase.par
fi
parameters whole hapmap.bin 1 "$markers"
parameters chunk hapmap.bin "$first" "$last"
parameters chunk-text hapmap.hap "$first" "$last"
for name in whole chunk chunk-text; do
    echo "running $name ..."
    timed "$name" --phased phased.vcf "$name.par"
done
sed -n "${first},${last}p" "$run/whole.txt" | cmp -s - "$run/chunk.txt" || die "the chunk's rows differ from the whole run's"
cmp -s "$run/chunk.txt" "$run/chunk-text.txt" || die "the chunk on the text panel differs"
field() { sed -n "s/^.*$2: //p" "$run/$1.time"; }
{
    echo "panel: $haplotypes haplotypes x $markers markers ($COPIES copies of $per_copy); $THREADS threads;" \
         "load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) CPUs"
    printf '%-11s %-22s %-24s %8s %9s\n' run markers "panel markers read" "wall s" "peak MiB"
    for name in whole chunk chunk-text; do
        read_range=$(sed -n 's/^reference haplotypes read at markers \([0-9]*\) to \([0-9]*\) of.*/\1-\2/p' "$run/$name.out")
        range=$([ "$name" = whole ] && echo "1-$markers" || echo "$first-$last")
        wall=$(field "$name" "Elapsed (wall clock) time (h:mm:ss or m:ss)" | awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = 60 * s + $i; print s }')
        peak=$(field "$name" "Maximum resident set size (kbytes)")
        printf '%-11s %-22s %-24s %8.1f %9.0f\n' "$name" "$range" "${read_range:-1-$markers (all)}" "$wall" "$((peak / 1024))"
    done
    echo "the chunk's result rows equal the whole run's"
} | tee "$work/panel_chunk.txt"
