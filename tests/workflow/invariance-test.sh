#!/usr/bin/env bash
# invariance-test.sh SNP_IMPUTE SOURCE_DIR
# The workflow's chunked result must be byte for byte the result of one
# snp-impute run over the same range, whatever the chunks: one marker each,
# chunks that start or end at the first or last typed marker, uneven last
# chunks, one chunk bigger than the chromosome. Each workflow run imputes two
# chromosomes: the generated data set as chromosome 1 and the example data as
# chromosome 7.
source "$(dirname "$0")/common.sh"

# The whole-range runs. The example's own parameter file reads ./examples.
"$program" --write-parameters small.params current_chr=1 population_marker=36 population_sample=16 \
  typed_marker=14 ncase=5 ncontrol=4 Path_reference_datadirectory=small Path_study_datadirectory=small \
  Imputation_result_data_file=whole-1.txt first_marker=1 last_marker=36
"$program" small.params > whole-1.out 2>&1 || { cat whole-1.out; echo "FAIL: whole-range run of the generated data" >&2; exit 1; }
"$program" "$src/examples/parameter.txt" > whole-7.out 2>&1 || { cat whole-7.out; echo "FAIL: whole-range run of the example" >&2; exit 1; }
mv imputation_results.txt whole-7.txt
[ "$(wc -l < whole-1.txt)" -eq 36 ] && [ "$(wc -l < whole-7.txt)" -eq 2072 ] || { echo "FAIL: whole-range results have the wrong length" >&2; exit 1; }

# check NAME CHROM FIRST LAST CHUNK...: the run's result for CHROM equals
# lines FIRST..LAST of the whole-range result, and the named chunks (the
# edges this case is about) were made and checked.
check() {
  local name=$1 chrom=$2 first=$3 last=$4 before=$failures
  shift 4
  local result=$name/chr$chrom.imputed.txt
  if [ ! -f "$result" ]; then
    fail "$name: no $result"
    return
  fi
  if ! cmp -s "$result" <(sed -n "${first},${last}p" "whole-$chrom.txt"); then
    fail "$name: $result differs from markers $first-$last of the whole-range run"
    diff <(sed -n "${first},${last}p" "whole-$chrom.txt") "$result" | head -5 | cut -c1-150 >&2 || true
  fi
  for chunk in "$@"; do
    [ -f "$name/chr$chrom/chunks/$chunk.checked" ] || fail "$name: chromosome $chrom has no chunk $chunk"
  done
  ls "$name/chr$chrom/chunks/"*.txt >/dev/null 2>&1 && fail "$name: chunk results of chromosome $chrom were left behind"
  [ "$failures" -ne "$before" ] ||
    echo "ok: $name, chromosome $chrom, markers $first-$last, $(ls "$name/chr$chrom/chunks/"*.checked | wc -l) chunks"
}

# run_case NAME CHROM1-SETTINGS CHROM7-SETTINGS
run_case() {
  write_config "$@"
  if ! run_workflow "$1"; then
    fail "$1: the workflow failed"
    tail -30 "$1.log" >&2
    return 1
  fi
}

# Chunks of one marker: every edge of the typed-marker list of the generated
# data, and the start of the example's (marker 1 untyped, marker 2 typed).
if run_case one-marker "    chunk_size: 1" \
    "$(printf '    first_marker: 1\n    last_marker: 12\n    chunk_size: 1')"; then
  check one-marker 1 1 36 1-1 3-3 4-4 5-5 32-32 33-33 34-34 36-36
  check one-marker 7 1 12 1-1 2-2 3-3 12-12
fi

# Chunks whose edges fall on the typed-marker edges: size 3 gives 4-6 and
# 31-33 on the generated data; 109 divides 2071, so the example ends in
# 1963-2071 and a last chunk of the one untyped marker after it.
if run_case typed-edges "    chunk_size: 3" "    chunk_size: 109"; then
  check typed-edges 1 1 36 1-3 4-6 31-33 34-36
  check typed-edges 7 1 2072 1-109 1963-2071 2072-2072
fi

# A range that is exactly the typed-marker list, in chunks that start at its
# first and end at its last typed marker.
if run_case typed-range "$(printf '    first_marker: 4\n    last_marker: 33\n    chunk_size: 7')" \
    "$(printf '    first_marker: 2\n    last_marker: 2071\n    chunk_size: 690')"; then
  check typed-range 1 4 33 4-10 32-33
  check typed-range 7 2 2071 2-691 692-1381 1382-2071
fi

# The end of the example in one-marker chunks; uneven last chunks; a chunk
# bigger than the chromosome.
if run_case tail "    chunk_size: 5" \
    "$(printf '    first_marker: 2062\n    chunk_size: 1')"; then
  check tail 1 1 36 31-35 36-36
  check tail 7 2062 2072 2062-2062 2070-2070 2071-2071 2072-2072
fi
if run_case big-chunks "    chunk_size: 100" "    chunk_size: 500"; then
  check big-chunks 1 1 36 1-36
  check big-chunks 7 1 2072 1-500 2001-2072
fi

# A changed data file reruns the chunks that read it: the result is that of
# the new data, never a mixture of chunks of the old and the new.
cp -r small new-data
write_config changed "    chunk_size: 10" "    chunk_size: 1000"
sed -i 's/_dir: small/_dir: new-data/' changed.yaml
if run_workflow changed; then
  cp changed/chr1.imputed.txt changed-before.txt
  sed -i '1s/.*/'"$(tail -1 new-data/normal.geno)"'/' new-data/normal.geno
  "$program" --write-parameters changed.params small.params Path_reference_datadirectory=new-data \
    Path_study_datadirectory=new-data Imputation_result_data_file=changed-whole.txt
  "$program" changed.params > changed-whole.out 2>&1
  if ! run_workflow changed; then
    fail "changed: the rerun failed"
  elif cmp -s changed-before.txt changed/chr1.imputed.txt || ! cmp -s changed-whole.txt changed/chr1.imputed.txt; then
    fail "changed: the rerun does not give the result of the changed data"
  else
    echo "ok: changed data reran its chunks"
  fi
else
  fail "changed: the workflow failed"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "all chunked results equal the whole-range runs"
