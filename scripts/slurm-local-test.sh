#!/usr/bin/env bash
# slurm-local-test.sh [SNP_IMPUTE]
#
# Runs the chunked workflow on a real, single-node Slurm cluster on this
# machine and checks its result against one whole-range run of the example
# data; then the study job on the example study, locally and through Slurm,
# with the same results. Needs root: it installs slurm-wlm, munge and snakemake where missing,
# then starts its own munged, slurmctld and slurmd (controller and node on
# localhost, configured with this machine's hostname, CPUs and memory), all
# with their configuration, key, state and logs in a scratch directory; the
# system's own Slurm or munge configuration, if any, is left alone. The
# daemons are stopped at the end, also on failure.
#
# SNP_IMPUTE defaults to build/snp-impute of this repository. Prints the wall
# times of the whole-range run, the chunked run on local cores and the
# chunked run through Slurm. Exits 0 only when the Slurm run succeeded, ran
# its chunks as Slurm jobs and gave the whole-range result byte for byte.
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$src/build/snp-impute}")
chunk_size=${CHUNK_SIZE:-500}

if [ "$(id -u)" -ne 0 ]; then
  echo "slurm-local-test: must run as root (it installs packages and starts daemons)" >&2
  exit 1
fi
if [ ! -x "$program" ]; then
  echo "slurm-local-test: no program $program: build it first" >&2
  exit 1
fi

need=()
command -v slurmctld >/dev/null && command -v slurmd >/dev/null && command -v sbatch >/dev/null || need+=(slurm-wlm)
command -v munged >/dev/null || need+=(munge)
command -v snakemake >/dev/null || need+=(snakemake)
if [ ${#need[@]} -gt 0 ]; then
  echo "installing ${need[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

cluster=$(mktemp -d /tmp/slurm-local.XXXXXX)
chmod 755 "$cluster"
mkdir -p "$cluster/state" "$cluster/spool" "$cluster/work"
export SLURM_CONF=$cluster/slurm.conf
# Snakemake's Slurm support looks up $USER's account.
export USER=${USER:-$(id -un)}

pids=()
stop_cluster() {
  local status=$?
  set +e
  if command -v squeue >/dev/null && [ -f "$SLURM_CONF" ]; then
    squeue -h -o %i 2>/dev/null | xargs -r scancel 2>/dev/null
  fi
  local pid
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null
  done
  for pid in "${pids[@]}"; do
    wait "$pid" 2>/dev/null
  done
  if [ "$status" -ne 0 ]; then
    echo "slurm-local-test: FAILED; daemon logs and the run are kept in $cluster" >&2
    tail -n 20 "$cluster"/*.log >&2 2>/dev/null
  else
    rm -rf "$cluster"
  fi
  exit "$status"
}
trap stop_cluster EXIT
trap 'exit 130' INT TERM

# munge, with a key and socket of its own.
mungekey --create --keyfile="$cluster/munge.key"
munged --foreground --key-file="$cluster/munge.key" --socket="$cluster/munge.socket" \
  --pid-file="$cluster/munged.pid" --log-file="$cluster/munged.log" \
  --seed-file="$cluster/munged.seed" >> "$cluster/daemons.out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -S "$cluster/munge.socket" ] && break; sleep 0.1; done
munge --socket="$cluster/munge.socket" -n | unmunge --socket="$cluster/munge.socket" >/dev/null

# One node: this machine as slurmd -C sees it, reached on localhost.
host=$(hostname -s)
node=$(slurmd -C | head -n 1)
cat > "$SLURM_CONF" <<EOF
ClusterName=localtest
SlurmctldHost=$host(127.0.0.1)
AuthType=auth/munge
AuthInfo=socket=$cluster/munge.socket
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$cluster/state
SlurmdSpoolDir=$cluster/spool
SlurmctldPidFile=$cluster/slurmctld.pid
SlurmdPidFile=$cluster/slurmd.pid
SlurmctldLogFile=$cluster/slurmctld.log
SlurmdLogFile=$cluster/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/linux
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core_Memory
ReturnToService=2
MpiDefault=none
$node NodeAddr=127.0.0.1 State=UNKNOWN
PartitionName=local Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
echo "slurm.conf node: $node"

slurmctld -D -f "$SLURM_CONF" >> "$cluster/daemons.out" 2>&1 &
pids+=($!)
slurmd -D -f "$SLURM_CONF" -N "$host" >> "$cluster/daemons.out" 2>&1 &
pids+=($!)
state=
for _ in $(seq 60); do
  state=$(sinfo -h -n "$host" -o %T 2>/dev/null || true)
  [ "$state" = idle ] && break
  sleep 1
done
if [ "$state" != idle ]; then
  echo "slurm-local-test: the node did not come up (state '$state')" >&2
  exit 1
fi
sinfo

# The example data, as the workflow's example config has it.
cd "$cluster/work"
ln -s "$src/examples" examples
seconds() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f s", b - a }'; }

t0=$(seconds)
"$program" "$src/examples/parameter.txt" > whole.out
t1=$(seconds)
mv imputation_results.txt whole.txt

snakemake -s "$src/workflow/Snakefile" --cores 2 --configfile "$src/workflow/example-config.yaml" \
  --config program="$program" chunk_size="$chunk_size" output_dir=local > local.log 2>&1 ||
  { tail -n 30 local.log >&2; echo "slurm-local-test: the local chunked run failed" >&2; exit 1; }
t2=$(seconds)

snakemake -s "$src/workflow/Snakefile" --profile "$src/workflow/profiles/slurm" \
  --configfile "$src/workflow/example-config.yaml" \
  --config program="$program" chunk_size="$chunk_size" output_dir=slurm > slurm.log 2>&1 ||
  { tail -n 40 slurm.log >&2; echo "slurm-local-test: the Slurm run failed" >&2; exit 1; }
t3=$(seconds)

chunks=$(ls slurm/chr7/chunks/*.checked | wc -l)
submitted=$(grep -c "has been submitted with SLURM jobid" slurm.log || true)
grep "has been submitted with SLURM jobid" slurm.log
cmp local/chr7.imputed.txt whole.txt
cmp slurm/chr7.imputed.txt whole.txt
if [ "$submitted" -ne "$chunks" ]; then
  echo "slurm-local-test: $chunks chunks but $submitted Slurm jobs" >&2
  exit 1
fi
# A chunk that fails on the cluster fails the workflow, names its log and
# leaves no result.
cat > failing-program <<EOF
#!/usr/bin/env bash
if grep -qx 'first_marker 1001' "\$1"; then echo "simulated crash" >&2; exit 3; fi
exec "$program" "\$@"
EOF
chmod +x failing-program
if snakemake -s "$src/workflow/Snakefile" --profile "$src/workflow/profiles/slurm" \
     --configfile "$src/workflow/example-config.yaml" \
     --config program="$PWD/failing-program" chunk_size="$chunk_size" output_dir=failing > failing.log 2>&1; then
  echo "slurm-local-test: the run with a failing chunk succeeded" >&2
  exit 1
fi
failed_log=failing/chr7/logs/1001-$((1000 + chunk_size)).log
if ! grep -qF "$failed_log" failing.log || ! grep -qF "simulated crash" "$failed_log" ||
   ls failing/chr7.imputed.txt* >/dev/null 2>&1; then
  tail -n 40 failing.log >&2
  echo "slurm-local-test: a failing chunk was not reported with its log, or a result was left" >&2
  exit 1
fi
grep -B1 -A5 "^Error in rule impute" failing.log
echo "a failing chunk failed the Slurm run and named its log ($failed_log)"

# The study job on the example study, locally and through Slurm: the same
# results, with each chromosome's phasing, every imputation chunk, every
# permutation job, the analysis (the merge of their parts) and the adjusted
# test run as Slurm jobs.
ln -s "$src/workflow" workflow
study_config=(--configfile "$src/workflow/example-study.yaml" --config bin_dir="$(dirname "$program")" chunk_size=300)
t4=$(seconds)
snakemake -s "$src/workflow/Snakefile" --cores 2 "${study_config[@]}" output_dir=study-local > study-local.log 2>&1 ||
  { tail -n 30 study-local.log >&2; echo "slurm-local-test: the local study run failed" >&2; exit 1; }
t5=$(seconds)
snakemake -s "$src/workflow/Snakefile" --profile "$src/workflow/profiles/slurm" "${study_config[@]}" \
  output_dir=study-slurm > study-slurm.log 2>&1 ||
  { tail -n 40 study-slurm.log >&2; echo "slurm-local-test: the Slurm study run failed" >&2; exit 1; }
t6=$(seconds)
for f in chr1.imputed.vcf.gz chr2.imputed.vcf.gz study.imputed.vcf.gz screen/study.screen.tsv \
    analysis/P_value.txt analysis/Final_result.txt analysis/csm_model.tsv association/study.logistic.tsv \
    association/study.eigenvec; do
  cmp "study-local/$f" "study-slurm/$f"
done
# The reports differ only in their provenance (the output directory).
for run in study-local study-slurm; do
  sed '/^<section id="provenance">$/,/^<\/section>$/d' $run/report/report.html > $run/report/report.body
done
cmp study-local/report/report.body study-slurm/report/report.body
study_chunks=$(ls study-slurm/chr*/chunks/*.checked | wc -l)
study_parts=$(find study-slurm/analysis/parts -mindepth 1 -maxdepth 1 -type d 2>/dev/null | wc -l)
study_phasings=$(ls study-slurm/chr*/phased.vcf | wc -l)
study_jobs=$(grep -c "has been submitted with SLURM jobid" study-slurm.log || true)
if [ "$study_phasings" -ne 2 ] || [ "$study_jobs" -ne $((study_phasings + study_chunks + study_parts + 2)) ]; then
  echo "slurm-local-test: study: $study_phasings phasings, $study_chunks chunks, $study_parts permutation jobs, the analysis and the adjusted test, but $study_jobs Slurm jobs" >&2
  exit 1
fi

echo "example data, 2072 markers; chunks of $chunk_size markers: $chunks"
echo "whole-range run:           $(elapsed "$t0" "$t1")"
echo "chunked, local (2 cores):  $(elapsed "$t1" "$t2")"
echo "chunked, Slurm ($chunks jobs):   $(elapsed "$t2" "$t3")"
echo "example study, chunks of 300 markers: local (2 cores) $(elapsed "$t4" "$t5"), Slurm ($study_jobs jobs) $(elapsed "$t5" "$t6")"
echo "slurm-local-test: the chunked results through Slurm and locally equal the whole-range run"
echo "slurm-local-test: the study job gives the same results through Slurm as locally"
