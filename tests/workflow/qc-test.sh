#!/usr/bin/env bash
# qc-test.sh BIN_DIR SOURCE_DIR
# The study job's quality control and contig matching, on a damaged copy of
# the example study run from another folder:
# - a planted bad sample (S005, half its calls missing) and a planted
#   HWE-failing marker (rs10514, every sample heterozygous) are removed,
#   named with their reasons in the QC tables and in the report, which passes
#   the Chromium check;
# - the panel of chromosome 2 names its contig `chr2` while the chip says `2`:
#   matched with a note;
# - the genetic map of chromosome 2 is gzipped (as in the example);
# - a panel marker made monomorphic is left out and counted in the report;
# - a copy of the report whose plots cannot be decoded and whose marker table
#   is empty fails the Chromium check.
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 BIN_DIR SOURCE_DIR" >&2
  exit 2
fi
bin=$(realpath "$1")
src=$(realpath "$2")
for tool in chromium bcftools; do
  command -v $tool >/dev/null || { echo "FAIL: $tool is not installed (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
example=$src/workflow/example-study
work=$(mktemp -d "${TMPDIR:-/tmp}/qc-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/data" "$work/elsewhere"
cd "$work/data"
python=$(head -n 1 "$(command -v snakemake)" | sed -n 's/^#! *//p')

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# S005 is column 14 (9 fixed columns, then S001...).
bcftools view --no-version "$example/study.vcf.gz" |
  awk -F'\t' -v OFS='\t' '/^#/ { print; next }
    { n++; if (n % 2 == 0) $14 = "./." }
    $3 == "rs10514" { for (i = 10; i <= NF; i++) $i = "0/1" }
    { print }' | bcftools view --no-version -Oz -o chip.vcf.gz
printf '2 chr2\n' > rename.txt
# ... and its 5th marker monomorphic: left out before imputation, counted.
bcftools view --no-version "$example/panel.chr2.vcf.gz" |
  awk -F'\t' -v OFS='\t' '!/^#/ && ++n == 5 { for (i = 10; i <= NF; i++) $i = "0|0" } { print }' |
  bcftools annotate --no-version --rename-chrs rename.txt -Oz -o panel.chr2.vcf.gz
sed -e "s|: example-study/study.vcf.gz|: $work/data/chip.vcf.gz|" \
    -e "s|: example-study/panel.chr2.vcf.gz|: $work/data/panel.chr2.vcf.gz|" -e "s|: example-study/|: $example/|" \
    "$src/workflow/example-study.yaml" > my-study.yaml

cd "$work/elsewhere"
snakemake -s "$src/workflow/Snakefile" --cores 2 --configfile ../data/my-study.yaml \
  --config bin_dir="$bin" permutations=19 permutation_jobs=1 > run.log 2>&1 ||
  { tail -30 run.log >&2; echo "FAIL: the damaged study failed" >&2; exit 1; }
out=example-study-results
[ -s "$out/report/report.html" ] || fail "no report in the folder snakemake ran in"
grep -qF "Note: chromosome 2 is contig 'chr2' in the panel VCF" run.log || fail "no note on the contig chr2"
grep -qP '^S005\tcontrol\t.*\tcall rate < 0.97$|^S005\tcase\t.*\tcall rate < 0.97$' $out/qc/samples.tsv ||
  fail "S005 was not removed for its call rate"
[ "$(awk -F'\t' 'NR > 1 && $6 != "."' $out/qc/samples.tsv | wc -l)" -eq 1 ] || fail "other samples than S005 were removed"
grep -qP '^1\t314146\trs10514\t.*\tHWE p < 1e-06 in controls$' $out/chr1/qc/markers.tsv ||
  fail "rs10514 was not removed for HWE"
bcftools query -l $out/chr1/qc/chip.vcf.gz | grep -qx S005 && fail "S005 is in the kept chip genotypes"
bcftools query -f '%ID\n' $out/chr1/qc/chip.vcf.gz | grep -qx rs10514 && fail "rs10514 is in the kept chip genotypes"
awk -F'\t' '$1 == "2" || $1 == "chr2" { n++ } END { exit !(n > 100) }' $out/screen/study.screen.tsv ||
  fail "chromosome 2 is missing from the screen"
for text in 'monomorphic in the panel, left out before imputation</td><td>1</td>' '<td>S005</td>' '<td>rs10514</td>' 'HWE p &lt; 1e-06 in controls' 'call rate &lt; 0.97'; do
  grep -qF "$text" $out/report/report.html || fail "the report does not show $text"
done
"$python" "$src/tests/workflow/check_report.py" $out/report/report.html || fail "the report's check failed"

# The damaged copy: undecodable plots, no selected markers.
sed -e 's|src="data:image/png;base64,[^"]*"|src="data:image/png;base64,AAAA"|g' \
    -e '/<table id="fdr-markers">/,/<\/table>/{/^<tr>/d}' $out/report/report.html > damaged.html
if "$python" "$src/tests/workflow/check_report.py" damaged.html 2> damaged.err; then
  fail "the check passed a report without plots or selected markers"
else
  for message in "the manhattan plot did not load" "the qq plot did not load" "table fdr-markers is empty"; do
    grep -qF "$message" damaged.err || fail "the damaged report was not reported: $message"
  done
fi

[ "$failures" -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "qc-test: all passed"
