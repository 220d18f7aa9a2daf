# Chunked imputation of whole genomes with snp-impute.
#
# Each chromosome of the config is split into chunks of `chunk_size`
# reference markers. Per chunk the workflow writes a parameter file (the
# chromosome's files and counts, first_marker/last_marker set to the chunk),
# runs snp-impute on it, and checks that the result has exactly one line per
# marker of the chunk, numbered first..last. The checked chunks are then
# concatenated in range order into <output_dir>/chr<N>.imputed.txt.
#
#   snakemake --cores 2 --configfile workflow/example-config.yaml
#   snakemake --profile workflow/profiles/slurm --configfile my-genome.yaml
#
# Paths in the config are relative to the directory snakemake runs in.

import os
import re

PROGRAM = config.get("program", "snp-impute")
OUT = str(config.get("output_dir", "results"))

# The chromosome settings with the labels of snp-impute's parameter file,
# which the program itself writes (snp-impute --write-parameters).
PARAMETER_FIELDS = [
    ("chromosome", "current_chr"),
    ("reference_markers", "population_marker"),
    ("reference_haplotypes", "population_sample"),
    ("study_markers", "typed_marker"),
    ("cases", "ncase"),
    ("controls", "ncontrol"),
    ("calling_threshold", "calling_genotype_threshood"),
    ("reference_dir", "Path_reference_datadirectory"),
    ("study_dir", "Path_study_datadirectory"),
    ("reference_haplotypes_file", "Reference_data_file"),
    ("reference_map_file", "Reference_data_mapfile"),
    ("case_genotypes_file", "Disease_data_file"),
    ("case_map_file", "Disease_data_mapfile"),
    ("control_genotypes_file", "Normal_data_file"),
    ("study_map_file", "Normal_data_mapfile"),
]
PATH_KEYS = [key for key, _ in PARAMETER_FIELDS[7:]]

# Used where neither the chromosome's entry nor the top level of the config
# gives a value. The counts and directories have none: they must be given.
DEFAULTS = {
    "calling_threshold": 0.33,
    "reference_haplotypes_file": "hapmap.hap",
    "reference_map_file": "hapmap.map",
    "case_genotypes_file": "disease.geno",
    "case_map_file": "disease.map",
    "control_genotypes_file": "normal.geno",
    "study_map_file": "normal.map",
    "first_marker": 1,
    "chunk_size": 5000,
    "chunk_mem_mb": 2000,
    "chunk_runtime": 60,
}


def setting(chrom, key):
    """A chromosome's value for `key`: its own entry, else the top level of
    the config, else the default."""
    for source in (CHROMOSOMES[chrom], config, DEFAULTS):
        if source.get(key) is not None:
            return source[key]
    if key == "last_marker":
        return setting(chrom, "reference_markers")
    raise ValueError(f"chromosome {chrom}: the config gives no '{key}'")


def whole_number(chrom, key, minimum):
    value = setting(chrom, key)
    if isinstance(value, bool) or not isinstance(value, int) or value < minimum:
        raise ValueError(f"chromosome {chrom}: '{key}' must be a whole number >= {minimum}, not {value!r}")
    return value


def read_chromosomes():
    """The chromosome entries of the config, keyed by their number as text."""
    entries = config.get("chromosomes")
    if not isinstance(entries, dict) or not entries:
        raise ValueError("the config lists no chromosomes")
    chromosomes = {}
    for chrom, entry in entries.items():
        if not re.fullmatch(r"[1-9][0-9]*", str(chrom)):
            raise ValueError(f"chromosome '{chrom}': chromosomes are named by their number")
        chromosomes[str(chrom)] = dict(entry or {}, chromosome=int(chrom))
    return chromosomes


def check_chromosome(chrom):
    n = whole_number(chrom, "reference_markers", 1)
    whole_number(chrom, "reference_haplotypes", 1)
    whole_number(chrom, "study_markers", 1)
    if whole_number(chrom, "cases", 0) + whole_number(chrom, "controls", 0) < 1:
        raise ValueError(f"chromosome {chrom}: no study individuals")
    threshold = setting(chrom, "calling_threshold")
    if isinstance(threshold, bool) or not isinstance(threshold, (int, float)):
        raise ValueError(f"chromosome {chrom}: 'calling_threshold' must be a number, not {threshold!r}")
    first, last = whole_number(chrom, "first_marker", 1), whole_number(chrom, "last_marker", 1)
    if not first <= last <= n:
        raise ValueError(f"chromosome {chrom}: marker range {first}-{last} is not within 1-{n}")
    for key in ("chunk_size", "chunk_mem_mb", "chunk_runtime"):
        whole_number(chrom, key, 1)
    for key in PATH_KEYS:
        if not re.fullmatch(r"\S+", str(setting(chrom, key))):
            raise ValueError(f"chromosome {chrom}: '{key}' must be a path without white space")


def chunks(chrom):
    """The (first, last) marker ranges of a chromosome's chunks, in order."""
    first, last = setting(chrom, "first_marker"), setting(chrom, "last_marker")
    size = setting(chrom, "chunk_size")
    return [(a, min(a + size - 1, last)) for a in range(first, last + 1, size)]


if not re.fullmatch(r"\S+", OUT):
    raise ValueError("output_dir must be a path without white space")
CHROMOSOMES = read_chromosomes()
for chrom in CHROMOSOMES:
    check_chromosome(chrom)

CHUNK = f"{OUT}/chr{{chrom}}/chunks/{{first}}-{{last}}"
LOG = f"{OUT}/chr{{chrom}}/logs/{{first}}-{{last}}.log"

wildcard_constraints:
    chrom=r"[1-9][0-9]*",
    first=r"[1-9][0-9]*",
    last=r"[1-9][0-9]*",

localrules: all, chunk_parameters, check_chunk, concatenate


rule all:
    input:
        [f"{OUT}/chr{chrom}.imputed.txt" for chrom in CHROMOSOMES],


def chunk_path(wildcards):
    return CHUNK.format(chrom=wildcards.chrom, first=wildcards.first, last=wildcards.last)


def parameter_assignments(wildcards):
    """LABEL=VALUE arguments for snp-impute --write-parameters."""
    pairs = [(label, setting(wildcards.chrom, key)) for key, label in PARAMETER_FIELDS]
    pairs += [
        ("Imputation_result_data_file", f"{chunk_path(wildcards)}.txt"),
        ("first_marker", wildcards.first),
        ("last_marker", wildcards.last),
    ]
    return [f"{label}={value}" for label, value in pairs]


rule chunk_parameters:
    output:
        CHUNK + ".params",
    params:
        program=PROGRAM,
        assignments=parameter_assignments,
    shell:
        "{params.program:q} --write-parameters {output:q} {params.assignments:q}"


def chunk_data_files(wildcards):
    """The data files a chunk reads: a changed one reruns the chunk."""
    chrom = wildcards.chrom
    reference = [os.path.join(str(setting(chrom, "reference_dir")), str(setting(chrom, key)))
                 for key in ("reference_haplotypes_file", "reference_map_file")]
    study = [os.path.join(str(setting(chrom, "study_dir")), str(setting(chrom, key)))
             for key in ("case_genotypes_file", "control_genotypes_file", "study_map_file")]
    return reference + study


rule impute:
    input:
        params=CHUNK + ".params",
        data=chunk_data_files,
    output:
        temp(CHUNK + ".txt"),
    log:
        LOG,
    params:
        program=PROGRAM,
    threads: 1
    resources:
        mem_mb=lambda wildcards: setting(wildcards.chrom, "chunk_mem_mb"),
        runtime=lambda wildcards: setting(wildcards.chrom, "chunk_runtime"),
    shell:
        "{params.program:q} {input.params:q} > {log:q} 2>&1 || {{"
        " echo \"snp-impute failed (exit status $?) on chromosome {wildcards.chrom},"
        " markers {wildcards.first}-{wildcards.last}; see {log}\" >&2; exit 1; }}"


rule check_chunk:
    input:
        CHUNK + ".txt",
    output:
        CHUNK + ".checked",
    params:
        script=f"{workflow.basedir}/scripts/check-chunk.sh",
        log=LOG,
    shell:
        "bash {params.script:q} {input:q} {wildcards.first} {wildcards.last} {params.log:q} && touch {output:q}"


rule concatenate:
    input:
        checked=lambda wc: [CHUNK.format(chrom=wc.chrom, first=a, last=b) + ".checked" for a, b in chunks(wc.chrom)],
        results=lambda wc: [CHUNK.format(chrom=wc.chrom, first=a, last=b) + ".txt" for a, b in chunks(wc.chrom)],
    output:
        f"{OUT}/chr{{chrom}}.imputed.txt",
    shell:
        # Written under a temporary name, so that the result file only ever
        # appears complete.
        "cat {input.results:q} > {output:q}.partial && mv {output:q}.partial {output:q}"
