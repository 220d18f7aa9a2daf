# Sourced by the workflow tests: usage, a scratch directory, the two data sets
# and a config writer.
#   <test>.sh SNP_IMPUTE SOURCE_DIR
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 SNP_IMPUTE SOURCE_DIR" >&2
  exit 2
fi
program=$(realpath "$1")
src=$(realpath "$2")
snakefile=$src/workflow/Snakefile

if ! command -v snakemake >/dev/null; then
  echo "FAIL: snakemake is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/workflow-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# Chromosome 1: the generated data set; its chip covers reference markers
# 4..33 of 36. Chromosome 7: the example data; its chip covers 2..2071 of 2072.
mkdir small
python3 "$src/tests/workflow/make_small_data.py" small | sed 's/^/    /' > small-counts.yaml
ln -s "$src/examples" examples

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# write_config NAME [YAML LINES FOR CHROMOSOME 1] [YAML LINES FOR CHROMOSOME 7]
# Writes NAME.yaml for a run into the output directory NAME; each extra
# argument is a block of "key: value" lines (indented by four) or empty.
write_config() {
  {
    echo "program: $program"
    echo "output_dir: $1"
    echo "chunk_mem_mb: 500"
    echo "chunk_runtime: 5"
    echo "chromosomes:"
    echo "  1:"
    echo "    reference_dir: small"
    echo "    study_dir: small"
    cat small-counts.yaml
    [ -z "${2:-}" ] || echo "$2"
    echo "  7:"
    echo "    reference_dir: examples"
    echo "    study_dir: examples"
    echo "    reference_markers: 2072"
    echo "    reference_haplotypes: 120"
    echo "    study_markers: 400"
    echo "    cases: 100"
    echo "    controls: 100"
    [ -z "${3:-}" ] || echo "$3"
  } > "$1.yaml"
}

# run_workflow NAME: runs the workflow on NAME.yaml, output in NAME.log;
# returns snakemake's exit status.
run_workflow() {
  snakemake -s "$snakefile" --cores 2 --configfile "$1.yaml" > "$1.log" 2>&1
}
