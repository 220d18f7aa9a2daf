#!/usr/bin/env bash
# study-test.sh BIN_DIR SOURCE_DIR
# The study job on the example study (workflow/example-study.yaml, the hmm
# engine with the simulation's genetic maps):
# - its results (each chromosome's imputed VCF, the joined VCF, the QC
#   tables, the screen, the analysis and the report with its plots) are byte
#   for byte the same whatever the chunking: one chunk per chromosome, chunks
#   of 250, and uneven chunks of 130 markers on 2 threads; the three
#   planted markers are selected; each chromosome is phased once, and its
#   chunks read the bit-packed panel;
# - a phenotype file (with chunks of 250 and the permutations split into
#   three jobs) gives the results of the case IDs;
# - the permutations split into jobs: each gets its range, the merge every part;
# - a chunk that fails fails the workflow naming the chunk's log, and leaves
#   no joined VCF, screen, analysis or report; a failing analysis likewise;
# - a malformed setting and a misspelled key are refused before anything runs.
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 BIN_DIR SOURCE_DIR" >&2
  exit 2
fi
bin=$(realpath "$1")
src=$(realpath "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/study-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
ln -s "$src/workflow" workflow

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# run NAME SETTINGS...: the example study into NAME/ with 19 permutations;
# snakemake's output in NAME.log; returns its status.
run() {
  local name=$1
  shift
  snakemake -s "$src/workflow/Snakefile" --cores 2 --printshellcmds --configfile "${CONFIG:-$src/workflow/example-study.yaml}" \
    --config bin_dir="${BIN_DIR:-$bin}" output_dir="$name" permutations=19 permutation_jobs=1 "$@" > "$name.log" 2>&1
}

RESULTS="chr1.imputed.vcf.gz chr2.imputed.vcf.gz chr1.imputed.vcf.gz.tbi study.imputed.vcf.gz
  screen/study.screen.tsv screen/FDR_results.txt analysis/Final_result.txt analysis/P_value.txt
  analysis/csm_markers.tsv analysis/csm_model.tsv report/report.body report/manhattan.png
  report/manhattan.svg report/qq.png report/qq.svg report/callrate.png qc/samples.tsv chr1/qc/markers.tsv
  association/study.logistic.tsv association/study.eigenvec report/pcs.png"

# report.body: the report without its provenance, which lists the settings
# (chunk size and output directory among them).
strip_provenance() {
  sed '/^<section id="provenance">$/,/^<\/section>$/d' "$1/report/report.html" > "$1/report/report.body"
}

start=$(date +%s.%N)
run whole chunk_size=100000 || { tail -30 whole.log >&2; echo "FAIL: the one-chunk run failed" >&2; exit 1; }
strip_provenance whole
echo "one chunk per chromosome: $(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f s", b - a }')"
for f in $RESULTS; do
  [ -s "whole/$f" ] || fail "the one-chunk run wrote no $f"
done
# The planted markers on the chip or well imputed come out of the screen.
for snp in rs10466 rs10639 rs20639; do
  awk -F'\t' -v snp="$snp" '$2 == snp && $23 <= 0.0125 { found = 1 } END { exit !found }' \
    whole/screen/study.screen.tsv || fail "planted marker $snp is not selected by the screen"
done
# ... and out of the adjusted test's Benjamini-Hochberg selection at 0.05.
python3 - whole/association/study.logistic.tsv <<'EOF' || fail "a planted marker is not selected by the adjusted test"
import csv, sys
rows = [r for r in csv.DictReader(open(sys.argv[1]), delimiter="\t") if r["P"] != "NA"]
p = sorted(float(r["P"]) for r in rows)
k = max([i + 1 for i, v in enumerate(p) if v <= 0.05 * (i + 1) / len(p)] or [0])
chosen = {r["SNP"] for r in rows if k and float(r["P"]) <= p[k - 1]}
sys.exit(not {"rs10466", "rs10639", "rs20639"} <= chosen)
EOF

# check_chunks NAME SIZE: the hmm run NAME phased each chromosome once, made
# chromosome 1's chunks of SIZE markers from those haplotypes and the
# bit-packed panel, and left no chunk VCF behind.
check_chunks() {
  local name=$1 size=$2 chunks=$(( (811 + $2 - 1) / $2 ))
  [ -s "$name/chr1/phased.vcf" ] && [ -s "$name/chr2/phased.vcf" ] || fail "$name: a chromosome was not phased"
  [ "$(ls "$name"/chr1/chunks/*.checked | wc -l)" -eq $chunks ] || fail "$name: not $chunks chunks on chromosome 1"
  [ "$(grep -c -- "--phased $name/chr1/phased.vcf --vcf-out" "$name.log")" -eq $chunks ] ||
    fail "$name: not every chunk read the phased haplotypes"
  [ -z "$(grep -L '^Reference_data_file=hapmap.bin$' "$name"/chr1/logs/[0-9]*-[0-9]*.log)" ] ||
    fail "$name: a chunk did not read the bit-packed panel"
  if ls "$name"/chr1/chunks/*.vcf.gz >/dev/null 2>&1; then fail "$name: chunk VCFs were left behind"; fi
}
check_chunks whole 100000

if run chunks-130 chunk_size=130 threads=2; then
  strip_provenance chunks-130
  check_chunks chunks-130 130
  for f in $RESULTS; do
    cmp -s "whole/$f" "chunks-130/$f" || fail "chunks-130: $f differs from the one-chunk run"
  done
  echo "ok: chunks of 130 on 2 threads give the same results"
else
  fail "chunks-130: the workflow failed"
  tail -30 chunks-130.log >&2
fi

# The status from a phenotype file (1 case, 0 control) instead of the case
# IDs, its column chosen by pheno_name among others: the same results.
bcftools query -l "$src/workflow/example-study/study.vcf.gz" |
  awk -v cases="$src/workflow/example-study/cases.txt" 'BEGIN { while ((getline id < cases) > 0) case[id] = 1
    print "FID IID SEX STATUS AGE" } { print $1, $1, NR % 2 + 1, ($1 in case) ? 1 : 0, 40 + NR % 30 }' > pheno.txt
sed -e "s|cases: example-study/cases.txt|pheno: pheno.txt\n  pheno_name: STATUS|" -e "s|: example-study/|: $src/workflow/example-study/|" \
  "$src/workflow/example-study.yaml" > pheno.yaml
grep -q "pheno_name: STATUS" pheno.yaml || fail "pheno: the config was not made"
if CONFIG=pheno.yaml run pheno permutation_jobs=3 chunk_size=250; then
  strip_provenance pheno
  check_chunks pheno 250
  cmp -s <(sort pheno/pheno-cases.txt) <(awk '!/^#/ && NF { print $1 }' "$src/workflow/example-study/cases.txt" | sort) ||
    fail "pheno: the case IDs read from it differ"
  for f in $RESULTS; do
    cmp -s "whole/$f" "pheno/$f" || fail "pheno: $f differs from the one-chunk run with the case IDs"
  done
  echo "ok: a phenotype file, chunks of 250 and the permutations in three jobs give the results of the case IDs in one"
else
  fail "pheno: the workflow failed"
  tail -30 pheno.log >&2
fi

# The permutations split into 3 jobs (19 permutations: 1-6, 7-12, 13-19).
# Through a csm-analysis that answers --data-sets with a part naming its
# range and --merge by recording the parts it got and running the whole
# analysis: each job gets its range and the merge every part in order. Where
# the real program has --data-sets, its split run must equal the whole run.
mkdir splitting
ln -s "$bin/snp-convert" "$bin/snp-impute" "$bin/snp-screen" splitting/
cat > splitting/csm-analysis <<EOF
#!/usr/bin/env bash
args=()
while [ \$# -gt 0 ]; do
  case \$1 in
    --data-sets) echo "\$2" > "csm_part_\${2/:/_}.txt"; exit 0 ;;
    --merge) for part in \${2//,/ }; do cat "\$part"; done > merged-parts.txt; shift 2 ;;
    *) args+=("\$1"); shift ;;
  esac
done
exec "$bin/csm-analysis" "\${args[@]}"
EOF
chmod +x splitting/csm-analysis
if ! BIN_DIR=$work/splitting run split-stub permutation_jobs=3 engine=fast; then
  fail "split-stub: the workflow failed"
  tail -30 split-stub.log >&2
elif [ "$(cat split-stub/analysis/merged-parts.txt)" != "$(printf '1:6\n7:12\n13:19')" ]; then
  fail "split-stub: the merge got the parts $(tr '\n' ' ' < split-stub/analysis/merged-parts.txt)"
else
  echo "ok: the permutations split into 3 jobs and merged"
fi
# expect_failure NAME LOG MESSAGE ABSENT SETTINGS...: the run failed, its
# output names LOG (under NAME/) with MESSAGE, and none of the files ABSENT
# (downstream of the failed job) was written.
expect_failure() {
  local name=$1 log=$2 message=$3 absent=$4 before=$failures
  shift 4
  if run "$name" "$@"; then
    fail "$name: the workflow succeeded"
    return
  fi
  grep -qF "see $name/$log" "$name.log" || fail "$name: the output does not name $name/$log"
  grep -qF "$message" "$name.log" || fail "$name: the output does not say '$message'"
  grep -qF "simulated crash" "$name/$log" 2>/dev/null || fail "$name: $log does not hold the program's message"
  for f in $absent; do
    [ ! -e "$name/$f" ] || fail "$name: $f was written"
  done
  if [ "$failures" -ne "$before" ]; then tail -25 "$name.log" >&2; else echo "ok: $name"; fi
}

# Programs that crash on one chunk of chromosome 2, or in the analysis.
mkdir crashing
for p in snp-convert snp-screen snp-impute csm-analysis; do ln -s "$bin/$p" crashing/$p; done
rm crashing/snp-impute crashing/csm-analysis
cat > crashing/snp-impute <<EOF
#!/usr/bin/env bash
if grep -qx 'current_chr 2' "\${@: -1}" && grep -qx 'first_marker 301' "\${@: -1}"; then
  echo "simulated crash" >&2; exit 3
fi
exec "$bin/snp-impute" "\$@"
EOF
cat > crashing/csm-analysis <<EOF
#!/usr/bin/env bash
[ -n "\${CRASH_ANALYSIS:-}" ] && { echo "simulated crash" >&2; exit 4; }
exec "$bin/csm-analysis" "\$@"
EOF
chmod +x crashing/snp-impute crashing/csm-analysis
BIN_DIR=$work/crashing expect_failure failing-chunk chr2/logs/301-450.log \
  "snp-impute on chromosome 2, markers 301-450 failed (exit status 3)" \
  "chr2.imputed.vcf.gz study.imputed.vcf.gz screen/study.screen.tsv analysis/P_value.txt report/report.html" \
  chunk_size=150 engine=fast
BIN_DIR=$work/crashing CRASH_ANALYSIS=1 expect_failure failing-analysis logs/analysis.log \
  "csm-analysis failed (exit status 4)" "analysis/P_value.txt analysis/csm_model.tsv report/report.html" engine=fast chunk_size=250

# A malformed setting: refused before any job runs.
if run refused r2_threshold=high; then
  fail "refused: the workflow accepted r2_threshold=high"
else
  grep -qF "'r2_threshold' must be a number >= 0 and <= 1, not 'high'" refused.log || fail "refused: no message on r2_threshold"
  [ ! -e refused ] || fail "refused: jobs ran"
fi
# A misspelled key: refused with the nearest known one.
if run misspelled top_marker=5; then
  fail "misspelled: the workflow accepted top_marker"
else
  grep -qF "unknown key 'top_marker' (did you mean 'top_markers'?)" misspelled.log || fail "misspelled: no suggestion"
  [ ! -e misspelled ] || fail "misspelled: jobs ran"
fi

[ "$failures" -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "study-test: all passed"
