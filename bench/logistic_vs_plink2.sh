#!/usr/bin/env bash
# snp-screen --logistic against PLINK 2 (Debian package plink2) on a
# simulated structured study (bench/logistic_make_data.cpp): SAMPLES samples
# (default 2000), MARKERS markers (default 20000; the VCF holds the first
# VCF_MARKERS, default 2000, with GT and a noisy DS), 5 covariates.
#
#   bench/logistic_vs_plink2.sh [BUILD_DIR] [WORK_DIR]
#
# In one run: OR, SE and -log10 P marker by marker against
# `plink2 --glm firth-fallback hide-covar` on the .bed route and on the VCF
# route with dosages (--dosage against dosage=DS), and with --pcs 5 against
# PLINK 2 given the same components as covariates; lambda without and with
# --pcs 5; our components against `plink2 --pca 5 --maf 0.01`; the wall and
# CPU time of the .bed route with THREADS threads (default 2) as a ratio to
# PLINK 2's, and the peak memory of each.
set -euo pipefail
export LC_ALL=C

SAMPLES=${SAMPLES:-2000}
MARKERS=${MARKERS:-20000}
VCF_MARKERS=${VCF_MARKERS:-2000}
THREADS=${THREADS:-2}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
build_dir=${1:-$repo/build}
work=${2:-${TMPDIR:-/tmp}/snp-logistic-bench}

die() { echo "logistic_vs_plink2.sh: $*" >&2; exit 1; }
[ -x /usr/bin/time ] || die "/usr/bin/time (GNU time, Debian package time) is required"
command -v plink2 >/dev/null || die "plink2 is required (apt-get install plink2)"
[ -x "$build_dir/snp-screen" ] || die "snp-screen not found in $build_dir (build it first)"
exe=$(cd "$build_dir" && pwd)/snp-screen
mkdir -p "$work"
cd "$work"

stamp="samples=$SAMPLES markers=$MARKERS vcf=$VCF_MARKERS"
if [ "$(cat data.ok 2>/dev/null)" != "$stamp" ]; then
  echo "generating the data in $work ..."
  g++ -O2 -std=c++20 -o make_data "$here/logistic_make_data.cpp"
  ./make_data . "$SAMPLES" "$MARKERS" "$VCF_MARKERS"
  awk 'BEGIN { print "IID\tstatus" } { print $2 "\t" $6 }' study.fam > pheno.txt
  cut -f2- covar.txt > covar_iid.txt
  echo "$stamp" > data.ok
fi
cat study.bed study.vcf > /dev/null

# timed NAME COMMAND...: runs the command, keeps its wall, CPU and peak RSS.
timed() {
  local name=$1; shift
  /usr/bin/time -f "%e %U %S %M" -o "$name.time" "$@" > "$name.log" 2>&1 || { cat "$name.log"; die "$name failed"; }
}
seconds() { awk '{ print $1 }' "$1.time"; }
cpu() { awk '{ print $2 + $3 }' "$1.time"; }
peak() { awk '{ printf "%.0f MiB", $4 / 1024 }' "$1.time"; }
lambda() { sed -n 's/^Note: lambda.* = //p' "$1.log"; }

timed ours_bed "$exe" --logistic --bfile study --covar covar.txt --threads "$THREADS" --out ours_bed
timed plink_bed plink2 --bfile study --covar covar.txt --glm firth-fallback hide-covar --threads "$THREADS" \
  --out plink_bed
timed ours_vcf "$exe" --logistic --vcf study.vcf --dosage --pheno pheno.txt --covar covar_iid.txt \
  --threads "$THREADS" --out ours_vcf
timed plink_vcf plink2 --vcf study.vcf dosage=DS --pheno pheno.txt --covar covar_iid.txt \
  --glm firth-fallback hide-covar --threads "$THREADS" --out plink_vcf
timed ours_pcs "$exe" --logistic --bfile study --covar covar.txt --pcs 5 --threads "$THREADS" --out ours_pcs
timed plink_pca plink2 --bfile study --maf 0.01 --pca 5 --threads "$THREADS" --out plink_pca
# PLINK 2 with our components as further covariates (standardized: its fit
# refuses scales as far apart as age and the components').
awk 'NR == FNR { pcs[$2] = $3 "\t" $4 "\t" $5 "\t" $6 "\t" $7; next } { print $0 "\t" pcs[$2] }' \
  ours_pcs.eigenvec covar.txt > covar_pcs.txt
timed plink_pcs plink2 --bfile study --covar covar_pcs.txt --covar-variance-standardize \
  --glm firth-fallback hide-covar --threads "$THREADS" \
  --out plink_pcs

{
  echo "== snp-screen --logistic against PLINK 2: $SAMPLES samples, $MARKERS markers (VCF $VCF_MARKERS), 5 covariates"
  python3 "$here/logistic_compare.py" ours_bed.logistic.tsv plink_bed.PHENO1.glm.logistic.hybrid ".bed route"
  python3 "$here/logistic_compare.py" ours_vcf.logistic.tsv plink_vcf.status.glm.logistic.hybrid "VCF dosage route"
  python3 "$here/logistic_compare.py" ours_pcs.logistic.tsv plink_pcs.PHENO1.glm.logistic.hybrid "--pcs 5"
  python3 "$here/logistic_compare.py" --pcs ours_pcs.eigenvec plink_pca.eigenvec
  echo "components: ours from $(sed -n 's/^Note: 5 principal components of \([0-9]*\) markers/\1/p' ours_pcs.log) markers," \
    "PLINK 2's from $(sed -n 's/ variants remaining after main filters.//p' plink_pca.log)"
  echo "lambda: covariates only $(lambda ours_bed), with --pcs 5 $(lambda ours_pcs)"
  echo "markers by Firth's fit: $(grep -o '([0-9]* by Firth' ours_bed.log | tr -dc 0-9) here," \
    "$(awk -F'\t' '$7 == "Y"' plink_bed.PHENO1.glm.logistic.hybrid | wc -l) in PLINK 2"
  echo "time with $THREADS threads, .bed route: ours $(seconds ours_bed) s wall, $(cpu ours_bed) s CPU;" \
    "PLINK 2 $(seconds plink_bed) s wall, $(cpu plink_bed) s CPU; ratio wall" \
    "$(awk -v a="$(seconds ours_bed)" -v b="$(seconds plink_bed)" 'BEGIN { printf "%.2f", a / b }')," \
    "CPU $(awk -v a="$(cpu ours_bed)" -v b="$(cpu plink_bed)" 'BEGIN { printf "%.2f", a / b }')"
  echo "with --pcs 5: ours $(seconds ours_pcs) s; PLINK 2 --pca plus --glm $(awk -v a="$(seconds plink_pca)" -v b="$(seconds plink_pcs)" 'BEGIN { print a + b }') s"
  echo "peak memory: ours $(peak ours_bed) (--pcs 5: $(peak ours_pcs)), PLINK 2 $(peak plink_bed) (--pca: $(peak plink_pca))"
} | tee report.txt
