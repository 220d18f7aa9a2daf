#!/usr/bin/env bash
# logistic_null.sh BUILD VCF [LABELINGS]
# snp-screen --logistic under the null: LABELINGS random case/control
# labelings (half the samples cases) of the dosages of VCF, 2 components;
# per labeling the share of markers with P <= 0.05 and <= 0.01, and lambda.
set -euo pipefail
build=$(realpath "$1") vcf=$(realpath "$2") labelings=${3:-10}
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
bcftools query -l "$vcf" > "$work/samples"
half=$(( $(wc -l < "$work/samples") / 2 ))
for seed in $(seq 1 "$labelings"); do
  shuf --random-source=<(yes "$seed") -n "$half" "$work/samples" > "$work/cases"
  "$build/snp-screen" --logistic --vcf "$vcf" --dosage --cases "$work/cases" --pcs 2 --out "$work/null" \
    > /dev/null 2> "$work/err"
  awk -F'\t' -v seed="$seed" -v lambda="$(grep -o '= [0-9.]*$' "$work/err" | tail -1)" \
    'NR > 1 && $11 != "NA" { n++; a += $11 <= 0.05; b += $11 <= 0.01 }
     END { printf "labeling %d: %d markers, P<=0.05 %.3f, P<=0.01 %.3f, lambda %s\n", seed, n, a / n, b / n, lambda }' \
    "$work/null.logistic.tsv"
done
