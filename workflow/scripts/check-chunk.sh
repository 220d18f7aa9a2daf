#!/usr/bin/env bash
# check-chunk.sh RESULT FIRST LAST LOG
# Checks one chunk's result file: one complete line per reference marker
# FIRST..LAST, in order, each starting with its marker number and a tab.
# Says what is wrong (naming the chunk's log) and exits 1 otherwise.
set -euo pipefail
result=$1 first=$2 last=$3 log=$4

problem=$(awk -v first="$first" -v last="$last" '
  index($0, (first + NR - 1) "\t") != 1 {
    split($0, field, "\t")
    printf "line %d is for marker \"%s\", not %d", NR, field[1], first + NR - 1
    bad = 1
    exit
  }
  END {
    if (!bad && NR != last - first + 1)
      printf "%d lines for the %d markers of the chunk", NR, last - first + 1
  }' "$result")
if [ -z "$problem" ] && [ "$(tail -c 1 "$result" | wc -l)" -ne 1 ]; then
  problem="the last line is incomplete"
fi
if [ -n "$problem" ]; then
  echo "bad result $result for markers $first-$last: $problem; see $log" >&2
  exit 1
fi
