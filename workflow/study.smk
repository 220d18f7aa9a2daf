# A case/control study end to end, from VCFs to a report.
#
# Per chromosome: the phased panel and the chip genotypes are converted
# (snp-convert), imputed in chunks of `chunk_size` panel markers with VCF
# output (snp-impute --vcf-out; each chunk's text result is checked to hold
# one line per marker), and the chunks are concatenated and indexed
# (bcftools). The chromosomes are then joined, keeping the markers whose
# imputation R2 reaches `r2_threshold`, into <output_dir>/study.imputed.vcf.gz;
# snp-screen tests every kept marker, csm-analysis analyses the `top_markers`
# markers of the screen with the smallest P_MIN (its permutations split into
# `permutation_jobs` jobs and merged), and report.py writes
# <output_dir>/report/report.html with its plots. The status comes from the
# case IDs (`cases`) or a phenotype file (`pheno`) of the `study` section.
#
#   snakemake --cores 2 --configfile workflow/example-study.yaml
#   snakemake --profile workflow/profiles/slurm --configfile my-study.yaml
#
# Paths in the config are relative to the directory snakemake runs in.

import os
import re
import shlex
import sys

OUT = str(config.get("output_dir", "study-results"))
BIN = str(config.get("bin_dir") or "")

DEFAULTS = {
    "chunk_size": 5000,
    "calling_threshold": 0.33,
    "chunk_mem_mb": 2000,
    "chunk_runtime": 60,
    "r2_threshold": 0.3,
    "top_markers": 20,
    "permutations": 199,
    "seed": 1,
    "analysis_mem_mb": 4000,
    "analysis_runtime": 600,
    "permutation_jobs": 1,
}
# Settings a chromosome's entry may give for itself.
CHROMOSOME_KEYS = {"panel_vcf", "study_vcf", "contig", "chunk_size", "calling_threshold",
                   "chunk_mem_mb", "chunk_runtime"}


def program(name):
    return os.path.join(BIN, name) if BIN else name


def study_setting(key):
    for source in (config["study"], config, DEFAULTS):
        if isinstance(source, dict) and source.get(key) is not None:
            return source[key]
    raise ValueError(f"the config gives no '{key}'")


def setting(chrom, key):
    """A chromosome's value for `key`: its own entry, else the study's."""
    if CHROMOSOMES[chrom].get(key) is not None:
        return CHROMOSOMES[chrom][key]
    return study_setting(key)


def number(value, key, minimum, whole=True):
    kinds = (int,) if whole else (int, float)
    if isinstance(value, bool) or not isinstance(value, kinds) or value < minimum:
        kind = "a whole number" if whole else "a number"
        raise ValueError(f"'{key}' must be {kind} >= {minimum}, not {value!r}")
    return value


def path_setting(value, key):
    if not isinstance(value, str) or not re.fullmatch(r"\S+", value):
        raise ValueError(f"'{key}' must be a path without white space, not {value!r}")
    return value


def read_chromosomes():
    entries = config.get("chromosomes")
    if not isinstance(entries, dict) or not entries:
        raise ValueError("the config lists no chromosomes")
    chromosomes = {}
    for chrom, entry in entries.items():
        if not re.fullmatch(r"[A-Za-z0-9_.]+", str(chrom)):
            raise ValueError(f"chromosome '{chrom}': names are letters, digits, '_' and '.'")
        entry = dict(entry or {})
        unknown = set(entry) - CHROMOSOME_KEYS
        if unknown:
            raise ValueError(f"chromosome {chrom}: unknown setting(s) {', '.join(sorted(unknown))}")
        entry.setdefault("contig", str(chrom))
        chromosomes[str(chrom)] = entry
    return chromosomes


if not isinstance(config["study"], dict):
    raise ValueError("'study' must be a section with the study's 'cases' or 'pheno' (and 'study_vcf')")
path_setting(OUT, "output_dir")
CHROMOSOMES = read_chromosomes()
# The status: a file of case IDs, or a case/control phenotype file (with
# `pheno_name` its column), which every program reads as it is.
if ("cases" in config["study"]) == ("pheno" in config["study"]):
    raise ValueError("the study section gives either 'cases' (case IDs) or 'pheno' (a phenotype file)")
STATUS_KEY = "cases" if "cases" in config["study"] else "pheno"
STATUS = os.path.abspath(path_setting(config["study"][STATUS_KEY], STATUS_KEY))
# Every program reads the phenotype file itself, the same column of it.
PHENO_NAME = config["study"].get("pheno_name")
if PHENO_NAME is not None and (STATUS_KEY != "pheno" or not re.fullmatch(r"\S+", str(PHENO_NAME))):
    raise ValueError("'pheno_name' names a column of the study's 'pheno' file (one word)")
STATUS_OPTIONS = f"--{STATUS_KEY} {shlex.quote(STATUS)}" + (f" --pheno-name {shlex.quote(str(PHENO_NAME))}" if PHENO_NAME else "")
for chrom in CHROMOSOMES:
    for key in ("panel_vcf", "study_vcf"):
        path_setting(setting(chrom, key), f"chromosome {chrom}: {key}")
    for key in ("chunk_size", "chunk_mem_mb", "chunk_runtime"):
        number(setting(chrom, key), f"chromosome {chrom}: {key}", 1)
    number(setting(chrom, "calling_threshold"), f"chromosome {chrom}: calling_threshold", 0, whole=False)
R2 = number(study_setting("r2_threshold"), "r2_threshold", 0, whole=False)
TOP = number(study_setting("top_markers"), "top_markers", 1)
PERMUTATIONS = number(study_setting("permutations"), "permutations", 1)
SEED = number(study_setting("seed"), "seed", 0)
for key in ("analysis_mem_mb", "analysis_runtime"):
    number(study_setting(key), key, 1)
PERMUTATION_JOBS = number(study_setting("permutation_jobs"), "permutation_jobs", 1)
if PERMUTATION_JOBS > PERMUTATIONS:
    raise ValueError(f"permutation_jobs ({PERMUTATION_JOBS}) exceeds permutations ({PERMUTATIONS})")
# The permutations of each analysis job, as (first, last) from 1, in order.
PERMUTATION_RANGES = [(PERMUTATIONS * j // PERMUTATION_JOBS + 1, PERMUTATIONS * (j + 1) // PERMUTATION_JOBS)
                      for j in range(PERMUTATION_JOBS)]

CONVERT = f"{OUT}/chr{{chrom}}/convert"
CHUNK = f"{OUT}/chr{{chrom}}/chunks/{{first}}-{{last}}"
CHUNK_LOG = f"{OUT}/chr{{chrom}}/logs/{{first}}-{{last}}.log"
GENOME = f"{OUT}/study.imputed.vcf.gz"
REPORT = f"{OUT}/report/report.html"
PLOTS = [f"{OUT}/report/{name}.{kind}" for name in ("manhattan", "qq") for kind in ("png", "svg")]
ANALYSIS_FILES = ["Final_result.txt", "P_value.txt", "csm_markers.tsv", "csm_model.tsv"]

wildcard_constraints:
    chrom=r"[A-Za-z0-9_.]+",
    first=r"[1-9][0-9]*",
    last=r"[1-9][0-9]*",

localrules: all, convert_panel, convert_study, chunk_parameters, check_chunk, concatenate,
    marker_summary, join_chromosomes, screen, report


def failure(what, log, shown=None):
    """The end of a shell command that sends its output to `log` and fails
    the job naming the log (as `shown`, where the command changed directory)."""
    return (f' > {log} 2>&1 || {{{{ echo "{what} failed (exit status $?); see {shown or log}" >&2;'
            " exit 1; }}")


rule all:
    input:
        REPORT,
        PLOTS,


rule convert_panel:
    input:
        lambda wc: setting(wc.chrom, "panel_vcf"),
    output:
        hap=CONVERT + "/hapmap.hap",
        map=CONVERT + "/hapmap.map",
    log:
        f"{OUT}/chr{{chrom}}/logs/convert-panel.log",
    params:
        program=program("snp-convert"),
        contig=lambda wc: CHROMOSOMES[wc.chrom]["contig"],
        dir=CONVERT,
    shell:
        "{params.program:q} panel --vcf {input:q} --out {params.dir:q} --chromosome {params.contig:q} --drop-monomorphic"
        + failure("snp-convert panel on chromosome {wildcards.chrom}", "{log:q}")


# A checkpoint: the chunks of a chromosome follow from its converted panel.
checkpoint convert_study:
    input:
        vcf=lambda wc: setting(wc.chrom, "study_vcf"),
        cases=STATUS,
        panel=rules.convert_panel.output,
    output:
        params=CONVERT + "/parameter.txt",
        files=[CONVERT + "/" + name for name in ("normal.map", "disease.map", "disease.geno",
                                                 "normal.geno", "study_layout.tsv", "strand_check.tsv")],
    log:
        f"{OUT}/chr{{chrom}}/logs/convert-study.log",
    params:
        program=program("snp-convert"),
        contig=lambda wc: CHROMOSOMES[wc.chrom]["contig"],
        threshold=lambda wc: setting(wc.chrom, "calling_threshold"),
        dir=CONVERT,
    shell:
        "{params.program:q} study --vcf {input.vcf:q} " + STATUS_OPTIONS + " --out {params.dir:q}"
        " --chromosome {params.contig:q} --threshold {params.threshold}"
        + failure("snp-convert study on chromosome {wildcards.chrom}", "{log:q}")


def chunks(chrom):
    """The (first, last) panel marker ranges of a chromosome's chunks."""
    with open(checkpoints.convert_study.get(chrom=chrom).output.params) as f:
        pairs = dict(line.split(None, 1) for line in f if line.strip())
    markers = int(pairs["population_marker"])
    size = setting(chrom, "chunk_size")
    return [(a, min(a + size - 1, markers)) for a in range(1, markers + 1, size)]


rule chunk_parameters:
    input:
        CONVERT + "/parameter.txt",
    output:
        CHUNK + ".params",
    params:
        program=program("snp-impute"),
        result=CHUNK + ".txt",
    shell:
        "{params.program:q} --write-parameters {output:q} {input:q} first_marker={wildcards.first}"
        " last_marker={wildcards.last} Imputation_result_data_file={params.result:q} > /dev/null"


rule impute:
    input:
        params=CHUNK + ".params",
        data=rules.convert_study.output.files,
        panel=rules.convert_panel.output,
    output:
        txt=temp(CHUNK + ".txt"),
        vcf=temp(CHUNK + ".vcf.gz"),
        tbi=temp(CHUNK + ".vcf.gz.tbi"),
    log:
        CHUNK_LOG,
    params:
        program=program("snp-impute"),
    threads: 1
    resources:
        mem_mb=lambda wc: setting(wc.chrom, "chunk_mem_mb"),
        runtime=lambda wc: setting(wc.chrom, "chunk_runtime"),
    shell:
        "{params.program:q} --vcf-out {output.vcf:q} {input.params:q}"
        + failure("snp-impute on chromosome {wildcards.chrom}, markers {wildcards.first}-{wildcards.last}", "{log:q}")


rule check_chunk:
    input:
        CHUNK + ".txt",
    output:
        CHUNK + ".checked",
    params:
        script=f"{workflow.basedir}/scripts/check-chunk.sh",
        log=CHUNK_LOG,
    shell:
        "bash {params.script:q} {input:q} {wildcards.first} {wildcards.last} {params.log:q} && touch {output:q}"


def chunk_files(suffix):
    return lambda wc: [CHUNK.format(chrom=wc.chrom, first=a, last=b) + suffix for a, b in chunks(wc.chrom)]


rule concatenate:
    input:
        checked=chunk_files(".checked"),
        vcfs=chunk_files(".vcf.gz"),
    output:
        vcf=f"{OUT}/chr{{chrom}}.imputed.vcf.gz",
        tbi=f"{OUT}/chr{{chrom}}.imputed.vcf.gz.tbi",
    log:
        f"{OUT}/chr{{chrom}}/logs/concatenate.log",
    params:
        partial=f"{OUT}/chr{{chrom}}/partial.vcf.gz",
    shell:
        # Written under a temporary name: the VCF only ever appears complete,
        # after its index.
        "( bcftools concat --no-version -Oz -o {params.partial:q} {input.vcfs:q}"
        " && bcftools index -t {params.partial:q}"
        " && mv {params.partial:q}.tbi {output.tbi:q} && mv {params.partial:q} {output.vcf:q} )"
        + failure("bcftools concat of chromosome {wildcards.chrom}", "{log:q}")


rule marker_summary:
    input:
        f"{OUT}/chr{{chrom}}.imputed.vcf.gz",
    output:
        f"{OUT}/chr{{chrom}}.markers.tsv",
    log:
        f"{OUT}/chr{{chrom}}/logs/marker-summary.log",
    shell:
        "( printf 'CHR\\tSNP\\tBP\\tAF\\tR2\\tTYPED\\n' > {output:q}.partial"
        " && bcftools query -f '%CHROM\\t%ID\\t%POS\\t%INFO/AF\\t%INFO/R2\\t%INFO/TYPED\\n' {input:q} >> {output:q}.partial"
        " && mv {output:q}.partial {output:q} )"
        + failure("the marker summary of chromosome {wildcards.chrom}", "{log:q}")


rule join_chromosomes:
    input:
        [f"{OUT}/chr{chrom}.imputed.vcf.gz" for chrom in CHROMOSOMES],
    output:
        vcf=GENOME,
        tbi=GENOME + ".tbi",
    log:
        f"{OUT}/logs/join.log",
    params:
        partial=f"{OUT}/study.partial.vcf.gz",
        r2=R2,
    shell:
        "( bcftools concat --no-version -Ou {input:q}"
        " | bcftools view --no-version -i 'INFO/R2>={params.r2}' -Oz -o {params.partial:q}"
        " && bcftools index -t {params.partial:q}"
        " && mv {params.partial:q}.tbi {output.tbi:q} && mv {params.partial:q} {output.vcf:q} )"
        + failure("joining the chromosomes", "{log:q}")


rule screen:
    input:
        vcf=GENOME,
        cases=STATUS,
    output:
        table=f"{OUT}/screen/study.screen.tsv",
        fdr=f"{OUT}/screen/FDR_results.txt",
    log:
        f"{OUT}/logs/screen.log",
    params:
        program=os.path.abspath(program("snp-screen")) if BIN else "snp-screen",
        dir=f"{OUT}/screen",
        vcf=os.path.abspath(GENOME),
        log=os.path.abspath(f"{OUT}/logs/screen.log"),
    shell:
        "cd {params.dir:q} && {params.program:q} --vcf {params.vcf:q} " + STATUS_OPTIONS + " --out study"
        + failure("snp-screen", "{params.log:q}", "{log}")


# csm-analysis on the screen's top markers, as every analysis job runs it.
CSM_ANALYSIS = os.path.abspath(program("csm-analysis")) if BIN else "csm-analysis"
ANALYSIS_COMMAND = " ".join([
    shlex.quote(CSM_ANALYSIS), "--vcf", shlex.quote(os.path.abspath(GENOME)), STATUS_OPTIONS,
    "--top", shlex.quote(os.path.abspath(f"{OUT}/screen/study.screen.tsv")), str(TOP),
    "--permutations", str(PERMUTATIONS), "--seed", str(SEED), "--quiet"])


PART = f"{OUT}/analysis/parts/{{first}}-{{last}}/csm_part_{{first}}_{{last}}.txt"
PARTS = [PART.format(first=a, last=b) for a, b in PERMUTATION_RANGES] if PERMUTATION_JOBS > 1 else []


# With permutation_jobs above 1: one job per range of permutations, each in
# its own directory, writing its part of the permutation test
# (csm-analysis --data-sets); the analysis rule then merges the parts into
# the files of a whole run.
rule analysis_part:
    input:
        vcf=GENOME,
        cases=STATUS,
        table=rules.screen.output.table,
    output:
        PART,
    log:
        f"{OUT}/logs/analysis-{{first}}-{{last}}.log",
    params:
        command=ANALYSIS_COMMAND,
        dir=f"{OUT}/analysis/parts/{{first}}-{{last}}",
        log=lambda wc: os.path.abspath(f"{OUT}/logs/analysis-{wc.first}-{wc.last}.log"),
    threads: 1
    resources:
        mem_mb=study_setting("analysis_mem_mb"),
        runtime=study_setting("analysis_runtime"),
    shell:
        "cd {params.dir:q} && rm -f parameter.txt && {params.command} --data-sets {wildcards.first}:{wildcards.last}"
        + failure("csm-analysis on permutations {wildcards.first}-{wildcards.last}", "{params.log:q}", "{log}")


rule analysis:
    input:
        vcf=GENOME,
        cases=STATUS,
        table=rules.screen.output.table,
        parts=PARTS,
    output:
        [f"{OUT}/analysis/{name}" for name in ANALYSIS_FILES],
    log:
        f"{OUT}/logs/analysis.log",
    params:
        command=ANALYSIS_COMMAND,
        merge=("--merge " + shlex.quote(",".join(os.path.abspath(p) for p in PARTS))) if PARTS else "",
        dir=f"{OUT}/analysis",
        log=os.path.abspath(f"{OUT}/logs/analysis.log"),
    threads: 1
    resources:
        mem_mb=study_setting("analysis_mem_mb"),
        runtime=study_setting("analysis_runtime"),
    shell:
        # parameter.txt follows the data of each run: a previous run's is
        # removed with the other work files.
        "cd {params.dir:q} && rm -f parameter.txt && {params.command} {params.merge}"
        + failure("csm-analysis", "{params.log:q}", "{log}")


rule report:
    input:
        table=rules.screen.output.table,
        analysis=rules.analysis.output,
        markers=[f"{OUT}/chr{chrom}.markers.tsv" for chrom in CHROMOSOMES],
    output:
        html=REPORT,
        plots=PLOTS,
    log:
        f"{OUT}/logs/report.log",
    params:
        python=sys.executable,
        script=f"{workflow.basedir}/scripts/report.py",
        r2=R2,
        analysis=f"{OUT}/analysis",
    shell:
        "{params.python:q} {params.script:q} --screen {input.table:q} --analysis {params.analysis:q}"
        " --r2-threshold {params.r2} --out {output.html:q} {input.markers:q}"
        + failure("report.py", "{log:q}")
