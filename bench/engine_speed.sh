#!/usr/bin/env bash
# Imputation engine benchmark of snp-impute on data with realistic linkage
# disequilibrium (coalescent haplotypes from scrm).
#
#   bench/engine_speed.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR  holds the built snp-impute (default: <repo>/build)
# WORK_DIR   inputs, parameter files, logs, results (default:
#            ${TMPDIR:-/tmp}/snp-impute-engine-bench); the inputs in
#            WORK_DIR/data-scrm are generated once by
#            `make_input.py --ld scrm` and reused while their stamp
#            inputs.ok says ld=scrm.
#
# Measures in one run:
#   (a) `--engine=reference` against the default fast engine on the same
#       marker range (RANGE_FIRST, RANGE_COUNT markers; default 400 markers
#       from 71401, the middle of the chromosome): both result files must be
#       byte-identical and both standard outputs identical apart from the
#       lines "read data time =" and "total time =", otherwise the script
#       fails.  Reports the speed-up of the imputation loop (time from the
#       first progress line to the timing lines, stamped as the lines
#       arrive) and of the whole run;
#   (b) the fast engine on the whole chromosome: wall time, peak RSS,
#       markers per second, result file size;
#   (c) the same run with an empty range (input phases only).
# Fast and empty runs are repeated REPEATS times (default 3, best kept,
# interleaved); the reference run once.  Prints a table against the targets
# (imputation speed-up >= 100, whole chromosome <= 30 s, peak RSS < 2 GiB).
# A missed target is reported, not an error: the exit status is non-zero
# only when a command fails, a run is incomplete or the outputs differ.
set -euo pipefail
export LC_ALL=C

REPEATS=${REPEATS:-3}
RANGE_FIRST=${RANGE_FIRST:-71401}
RANGE_COUNT=${RANGE_COUNT:-400}
SPEEDUP_TARGET=100
WHOLE_TARGET_S=30
MEM_TARGET_MIB=2048
N_MARKERS=143232

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
build_dir=${1:-$repo/build}
work_dir=${2:-${TMPDIR:-/tmp}/snp-impute-engine-bench}

die() { echo "engine_speed.sh: $*" >&2; exit 1; }

[[ $REPEATS =~ ^[1-9][0-9]*$ ]] || die "REPEATS must be a positive integer"
[[ $RANGE_FIRST =~ ^[1-9][0-9]*$ ]] || die "RANGE_FIRST must be a positive integer"
[[ $RANGE_COUNT =~ ^[1-9][0-9]*$ ]] || die "RANGE_COUNT must be a positive integer"
range_last=$((RANGE_FIRST + RANGE_COUNT - 1))
((range_last <= N_MARKERS)) || die "range $RANGE_FIRST..$range_last exceeds the $N_MARKERS markers"
[ -x /usr/bin/time ] || die "/usr/bin/time (GNU time) is required"
command -v python3 >/dev/null || die "python3 is required"
exe=$(cd "$build_dir" 2>/dev/null && pwd)/snp-impute \
    || die "build directory $build_dir does not exist"
[ -x "$exe" ] || die "$exe not found or not executable (build the project first)"

case $work_dir in /*) ;; *) work_dir=$PWD/$work_dir ;; esac
# Parameter values are blank-free tokens; the program joins directory and
# file names into 112-byte buffers.
[[ $work_dir =~ [[:space:]] ]] && die "WORK_DIR must not contain white space: $work_dir"
((${#work_dir} <= 80)) || die "WORK_DIR must be at most 80 characters: $work_dir"
data_dir=$work_dir/data-scrm
run_dir=$work_dir/run
mkdir -p "$run_dir"

# ---------------------------------------------------------------- inputs
if ! grep -qs "ld=scrm" "$data_dir/inputs.ok"; then
    command -v scrm >/dev/null \
        || die "the coalescent simulator scrm is required to generate the inputs (Debian package scrm)"
    echo "generating inputs with scrm in $data_dir ..."
    gen_t0=$(date +%s)
    python3 "$here/make_input.py" "$data_dir" --ld scrm \
        || die "make_input.py failed"
    echo "inputs generated in $(( $(date +%s) - gen_t0 )) s"
fi
for f in hapmap.hap hapmap.map normal.map disease.map disease.geno normal.geno; do
    [ -f "$data_dir/$f" ] || die "missing input $data_dir/$f (delete $data_dir to regenerate)"
done
input_bytes=$(cat "$data_dir"/hapmap.hap "$data_dir"/hapmap.map "$data_dir"/normal.map \
              "$data_dir"/disease.geno "$data_dir"/normal.geno | wc -c)   # also the warm-up read

result=$run_dir/result.txt
source "$here/parameter_file.sh"
write_param() {   # write_param FILE FIRST LAST
    write_parameter_file "$exe" "$1" "$data_dir" "$result" "$2" "$3"
}
param_range=$work_dir/parameter-range.txt
param_whole=$work_dir/parameter-whole.txt
param_empty=$work_dir/parameter-empty.txt
write_param "$param_range" "$RANGE_FIRST" "$range_last"
write_param "$param_whole" 1 "$N_MARKERS"
write_param "$param_empty" 1 0

# ---------------------------------------------------------------- runs
# Copies standard output to a file and stamps, with a monotonic clock, the
# first progress line after the input phases ("different_big=" comes last in
# them) and the first timing line, which follows the imputation loop and the
# closing of the result file.  Writes the seconds between the two, or NA.
stamper='
import sys, time
log_path, stamp_path = sys.argv[1], sys.argv[2]
after_input, t_first, t_end = False, None, None
with open(log_path, "wb") as log:
    for line in sys.stdin.buffer:
        now = time.monotonic()
        log.write(line)
        text = line.rstrip(b"\r\n")
        if text.startswith(b"different_big="):
            after_input = True
        elif after_input and t_first is None and text.isdigit():
            t_first = now
        elif text.startswith(b"read data time =") and t_end is None:
            t_end = now
with open(stamp_path, "w") as f:
    f.write("%.6f\n" % (t_end - t_first) if t_first is not None and t_end is not None else "NA\n")
'

# run_prog NAME PARAM [OPTIONS...]: runs snp-impute under GNU time; standard
# output to NAME.out, standard error to NAME.err. Sets WALL_S (wall time,
# seconds), RSS_KB (peak resident set, KiB) and IMP_S (imputation loop,
# seconds, or NA when nothing was imputed).
run_prog() {
    local name=$1 param=$2; shift 2
    local base=$work_dir/$name tf=$work_dir/time.out rc_time rc_stamp marker
    rm -f "$result"
    set +e
    /usr/bin/time -f "%e %M" -o "$tf" "$exe" "$@" "$param" </dev/null 2>"$base.err" \
        | python3 -c "$stamper" "$base.out" "$base.stamp"
    rc_time=${PIPESTATUS[0]} rc_stamp=${PIPESTATUS[1]}
    set -e
    if ((rc_time != 0)); then
        echo "engine_speed.sh: snp-impute $* $param exited with status $rc_time; last lines of $base.out and $base.err:" >&2
        tail -n 20 "$base.out" "$base.err" >&2
        exit 1
    fi
    ((rc_stamp == 0)) || die "the output stamper failed for $name"
    # The program also exits 0 after a fatal input error: check the log.
    for marker in "read data finish" "different_big=" "total time ="; do
        if ! grep -q "^$marker" "$base.out"; then
            echo "engine_speed.sh: $name: output lacks \"$marker\"; last lines of $base.out and $base.err:" >&2
            tail -n 20 "$base.out" "$base.err" >&2
            exit 1
        fi
    done
    [ -f "$result" ] || die "$name: no result file $result"
    read -r WALL_S RSS_KB < <(tail -n 1 "$tf")
    IMP_S=$(cat "$base.stamp")
}

# Standard output without the two timing lines.
untimed() { grep -v -e '^read data time =' -e '^total time =' "$1" || true; }

# same_output NAME_A NAME_B: fails unless the results and the untimed
# standard outputs of the two runs are identical.
same_output() {
    local a=$work_dir/$1 b=$work_dir/$2
    cmp -s "$a.result" "$b.result" \
        || die "result files differ: $a.result $b.result ($(cmp "$a.result" "$b.result" 2>&1 | head -n 1))"
    if ! cmp -s <(untimed "$a.out") <(untimed "$b.out"); then
        echo "engine_speed.sh: standard outputs differ beyond the timing lines: $a.out $b.out" >&2
        diff <(untimed "$a.out") <(untimed "$b.out") | head -n 20 >&2
        exit 1
    fi
}

find_problems() { grep -c ' find problem' "$work_dir/$1.out" || true; }

load_start=$(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo unknown)
cd "$run_dir"   # the program may write relative files; keep them here
echo "reference engine, markers $RANGE_FIRST..$range_last ..."
run_prog reference "$param_range" --engine=reference
mv "$result" "$work_dir/reference.result"
ref_wall=$WALL_S ref_imp=$IMP_S ref_rss=$RSS_KB
[ "$ref_imp" != NA ] || die "reference run: no imputation progress seen in $work_dir/reference.out"
[ -s "$work_dir/reference.result" ] || die "reference run wrote an empty result file"

fast_wall=() fast_imp=() whole_wall=() whole_imp=() whole_rss=() empty_wall=() empty_rss=()
for ((r = 1; r <= REPEATS; r++)); do
    echo "round $r of $REPEATS: fast engine on the range, empty range, whole chromosome ..."
    run_prog fast.$r "$param_range"
    mv "$result" "$work_dir/fast.$r.result"
    [ "$IMP_S" != NA ] || die "fast run: no imputation progress seen in $work_dir/fast.$r.out"
    same_output reference fast.$r
    fast_wall+=("$WALL_S") fast_imp+=("$IMP_S")

    run_prog empty.$r "$param_empty"
    [ -s "$result" ] && die "the empty-range run wrote results to $result"
    empty_wall+=("$WALL_S") empty_rss+=("$RSS_KB")

    run_prog whole.$r "$param_whole"
    [ "$IMP_S" != NA ] || die "whole run: no imputation progress seen in $work_dir/whole.$r.out"
    lines=$(wc -l <"$result")
    ((lines == N_MARKERS)) || die "whole run: $lines result lines instead of $N_MARKERS"
    whole_bytes=$(wc -c <"$result")
    if ((r > 1)); then
        cmp -s "$result" "$work_dir/whole.result" || die "whole-chromosome results differ between rounds"
    fi
    mv "$result" "$work_dir/whole.result"
    whole_wall+=("$WALL_S") whole_imp+=("$IMP_S") whole_rss+=("$RSS_KB")
done

# ---------------------------------------------------------------- report
min_of() { printf '%s\n' "$@" | sort -g | head -n 1; }
max_of() { printf '%s\n' "$@" | sort -g | tail -n 1; }
calc() { awk "BEGIN { $1 }"; }
best_fast_wall=$(min_of "${fast_wall[@]}")
best_fast_imp=$(min_of "${fast_imp[@]}")
best_empty=$(min_of "${empty_wall[@]}")
best_whole=$(min_of "${whole_wall[@]}")
best_whole_imp=$(min_of "${whole_imp[@]}")
peak_kb=$(max_of "${whole_rss[@]}" "${empty_rss[@]}" "${ref_rss}")

speedup=$(calc "printf \"%.0f\", ($best_fast_imp > 0 ? $ref_imp / $best_fast_imp : 1e9)")
speedup_wall=$(calc "printf \"%.1f\", ($best_fast_wall > 0 ? $ref_wall / $best_fast_wall : 1e9)")
speedup_ok=$(calc "print ($best_fast_imp > 0 && $ref_imp >= $SPEEDUP_TARGET * $best_fast_imp) ? \"yes\" : \"NO\"")
whole_ok=$(calc "print ($best_whole <= $WHOLE_TARGET_S) ? \"yes\" : \"NO\"")
mem_ok=$(calc "print ($peak_kb < $MEM_TARGET_MIB * 1024) ? \"yes\" : \"NO\"")
rate=$(calc "printf \"%.0f\", $N_MARKERS / ($best_whole > 0 ? $best_whole : 0.01)")
rate_imp=$(calc "printf \"%.0f\", $N_MARKERS / ($best_whole_imp > 0 ? $best_whole_imp : 1e-6)")
imp_share=$(calc "printf \"%.0f\", 100 * ($best_whole - $best_empty) / ($best_whole > 0 ? $best_whole : 1)")
f3() { calc "printf \"%.3f\", $1"; }
f2() { calc "printf \"%.2f\", $1"; }
mib() { calc "printf \"%.1f\", $1 / 1024"; }

report=$work_dir/engine_speed.txt
{
    echo "snp-impute imputation engines on coalescent (scrm) data"
    echo "program: $exe"
    echo "inputs:  $data_dir ($(calc "printf \"%.1f\", $input_bytes / 1048576") MiB:" \
         "143232 ref markers x 120 haplotypes, 29772 chip markers, 276 cases + 271 controls)"
    echo "         $(cat "$data_dir/inputs.ok")"
    echo "runs:    reference engine once; fast, empty and whole-chromosome runs $REPEATS times each," \
         "interleaved, best kept"
    echo "load:    average $load_start at the start, $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo unknown)" \
         "at the end, on $(nproc) CPUs (other work on the machine inflates the times)"
    echo
    printf '%-44s %12s   %-10s %s\n' "measure" "value" "target" "met"
    printf '%-44s %12s   %-10s %s\n' "(a) markers $RANGE_FIRST..$range_last ($RANGE_COUNT)" "" "" ""
    printf '%-44s %12s   %-10s %s\n' "    reference engine: wall (s)" "$(f2 "$ref_wall")" "" ""
    printf '%-44s %12s   %-10s %s\n' "    reference engine: imputation loop (s)" "$(f3 "$ref_imp")" "" ""
    printf '%-44s %12s   %-10s %s\n' "    fast engine: wall (s)" "$(f2 "$best_fast_wall")" "" ""
    printf '%-44s %12s   %-10s %s\n' "    fast engine: imputation loop (s)" "$(f3 "$best_fast_imp")" "" ""
    printf '%-44s %12s   %-10s %s\n' "    speed-up, imputation loop (x)" "$speedup" ">= $SPEEDUP_TARGET" "$speedup_ok"
    printf '%-44s %12s   %-10s %s\n' "    speed-up, whole run incl. input (x)" "$speedup_wall" "" ""
    printf '%-44s %12s   %-10s %s\n' "    outputs identical (result, stdout)" "yes" "" ""
    printf '%-44s %12s   %-10s %s\n' "(b) whole chromosome, fast engine" "" "" ""
    printf '%-44s %12s   %-10s %s\n' "    wall (s)" "$(f2 "$best_whole")" "<= $WHOLE_TARGET_S" "$whole_ok"
    printf '%-44s %12s   %-10s %s\n' "    imputation loop (s)" "$(f3 "$best_whole_imp")" "" ""
    printf '%-44s %12s   %-10s %s\n' "    peak RSS (MiB, largest of all runs)" "$(mib "$peak_kb")" "< $MEM_TARGET_MIB" "$mem_ok"
    printf '%-44s %12s   %-10s %s\n' "    markers per second (wall)" "$rate" "" ""
    printf '%-44s %12s   %-10s %s\n' "    markers per second (imputation loop)" "$rate_imp" "" ""
    printf '%-44s %12s   %-10s %s\n' "    result file (MiB)" "$(calc "printf \"%.1f\", $whole_bytes / 1048576")" "" ""
    printf '%-44s %12s   %-10s %s\n' "(c) empty range (input phases only): wall (s)" "$(f2 "$best_empty")" "" ""
    printf '%-44s %12s   %-10s %s\n' "    imputation share of whole run (%)" "$imp_share" "" ""
    echo
    echo "all runs, wall (s): fast ${fast_wall[*]}; empty ${empty_wall[*]}; whole ${whole_wall[*]}"
    echo "imputation loop (s): fast ${fast_imp[*]}; whole ${whole_imp[*]}"
    echo "peak RSS (MiB): reference $(mib "$ref_rss"); whole $(for k in "${whole_rss[@]}"; do mib "$k"; echo -n " "; done)"
    echo "diagnostics: \" find problem\" reference $(find_problems reference), fast $(find_problems fast.1)," \
         "whole chromosome $(find_problems whole.1); $(grep -m 1 '^different_big=' "$work_dir/whole.1.out")"
} | tee "$report"
echo "(report saved to $report; logs and results in $work_dir)"
