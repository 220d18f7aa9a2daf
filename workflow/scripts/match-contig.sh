#!/usr/bin/env bash
# match-contig.sh VCF CHROMOSOME WHAT: prints the VCF's name of the
# chromosome: CHROMOSOME itself, else the name with a `chr` prefix added or
# removed (`20` and `chr20` match), with a note on standard error naming
# WHAT. The names are the header's contigs and the index's; a VCF with
# neither is read through.
set -euo pipefail
vcf=$1 chrom=$2 what=$3
names=$( { bcftools index -s "$vcf" 2>/dev/null | cut -f1 || true
           bcftools view -h "$vcf" | sed -n 's/^##contig=<ID=\([^,>]*\).*/\1/p'; } | sort -u)
[ -n "$names" ] || names=$(bcftools query -f '%CHROM\n' "$vcf" | uniq | sort -u)
for candidate in "$chrom" "chr$chrom" "${chrom#chr}"; do
  if grep -qxF -- "$candidate" <<< "$names"; then
    [ "$candidate" = "$chrom" ] ||
      echo "Note: chromosome $chrom is contig '$candidate' in the $what ($vcf)" >&2
    echo "$candidate"
    exit 0
  fi
done
echo "Error: chromosome $chrom: the $what ($vcf) has no contig $chrom or chr${chrom#chr}" \
  "(its contigs: $(head -c 200 <<< "${names//$'\n'/ }"))" >&2
exit 1
