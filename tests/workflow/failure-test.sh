#!/usr/bin/env bash
# failure-test.sh SNP_IMPUTE SOURCE_DIR
# A chunk that fails, or whose result is not one complete line per marker of
# its range in order, must fail the workflow with the chunk's log named, and
# leave no result file for its chromosome (not even a partial one). A config
# that lacks a count, asks for markers the chromosome does not have or gives
# a malformed number must be refused before anything runs.
source "$(dirname "$0")/common.sh"

# expect_failure NAME CHUNK MESSAGE [LOG TEXT]: the workflow NAME failed,
# its output names the chunk's log and says MESSAGE, the log says LOG TEXT,
# and chromosome 1 has no result.
expect_failure() {
  local name=$1 chunk=$2 message=$3 log_text=${4:-} before=$failures
  if run_workflow "$name"; then
    fail "$name: the workflow succeeded"
    return
  fi
  grep -qF "see $name/chr1/logs/$chunk.log" "$name.log" || fail "$name: the output does not name the log of chunk $chunk"
  grep -qF "$message" "$name.log" || fail "$name: the output does not say '$message'"
  if [ -n "$log_text" ]; then
    grep -qF "$log_text" "$name/chr1/logs/$chunk.log" 2>/dev/null || fail "$name: the log of chunk $chunk does not say '$log_text'"
  fi
  ls "$name"/chr1.imputed.txt* >/dev/null 2>&1 && fail "$name: a result file for chromosome 1 was written"
  if [ "$failures" -ne "$before" ]; then
    tail -25 "$name.log" >&2
  else
    echo "ok: $name"
  fi
}

# expect_refused NAME MESSAGE: snakemake refused the config with MESSAGE and
# ran nothing.
expect_refused() {
  local name=$1 message=$2 before=$failures
  if run_workflow "$name"; then
    fail "$name: the workflow accepted the config"
  else
    grep -qF "$message" "$name.log" || fail "$name: the output does not say '$message'"
    [ ! -e "$name" ] || fail "$name: jobs ran"
  fi
  if [ "$failures" -ne "$before" ]; then tail -25 "$name.log" >&2; else echo "ok: $name"; fi
}

chr1="    chunk_size: 3"
chr7=$(printf '    last_marker: 6\n    chunk_size: 3')

# A real error of the program: the config claims one study marker more than
# the chip files have, so the run exits 1 (one chunk, so that it is the one
# the workflow reports).
write_config wrong-count "$(printf '    chunk_size: 100\n    study_markers: 15')" "$chr7"
expect_failure wrong-count 1-36 "snp-impute failed (exit status 1) on chromosome 1, markers 1-36" \
  "expected 15 marker records"

# faulty_program MODE: a program that runs snp-impute but spoils the chunk
# that starts at marker 7 in the way MODE says.
faulty_program() {
  cat > "faulty-$1" <<EOF
#!/usr/bin/env bash
[ "\$1" = --write-parameters ] && exec "$program" "\$@"
params=\$1
result=\$(awk '\$1 == "Imputation_result_data_file" { print \$2 }' "\$params")
spoil=no
grep -qx 'first_marker 7' "\$params" && spoil=$1
if [ \$spoil = exit ]; then echo "simulated crash" >&2; exit 3; fi
"$program" "\$params" || exit
case \$spoil in
  short) sed -i '\$d' "\$result" ;;
  order) sed -i '1{h;d};2G' "\$result" ;;
  unterminated) truncate -s -1 "\$result" ;;
esac
EOF
  chmod +x "faulty-$1"
}

for mode in exit short order unterminated; do
  faulty_program $mode
  write_config "fault-$mode" "$chr1" "$chr7"
  sed -i "s|^program: .*|program: $work/faulty-$mode|" "fault-$mode.yaml"
done
expect_failure fault-exit 7-9 "snp-impute failed (exit status 3) on chromosome 1, markers 7-9" "simulated crash"
expect_failure fault-short 7-9 "markers 7-9: 2 lines for the 3 markers of the chunk"
expect_failure fault-order 7-9 'markers 7-9: line 1 is for marker "8", not 7'
expect_failure fault-unterminated 7-9 "markers 7-9: the last line is incomplete"

write_config no-controls "$chr1" "$chr7"
sed -i '0,/^    controls: /{/^    controls: /d}' no-controls.yaml
expect_refused no-controls "chromosome 1: the config gives no 'controls'"

write_config past-the-end "$(printf '%s\n    last_marker: 37' "$chr1")" "$chr7"
expect_refused past-the-end "chromosome 1: marker range 1-37 is not within 1-36"

# The program would stop reading its parameter file at a malformed number
# and run on default paths and counts.
write_config bad-threshold "$(printf '%s\n    calling_threshold: 0.3x' "$chr1")" "$chr7"
expect_refused bad-threshold "chromosome 1: 'calling_threshold' must be a number"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "every faulty chunk failed the workflow with its log named"
