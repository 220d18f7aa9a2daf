# A case/control study end to end, from VCFs to a report.
#
# Per chromosome: the chip genotypes pass quality control (qc.smk), the
# phased panel and the kept chip genotypes are converted (snp-convert; the
# panel also bit-packed, hapmap.bin), imputed with the chosen engine
# (`engine`, `genetic_map`, `threads`) in chunks of `chunk_size` panel markers
# with VCF output (snp-impute --vcf-out; each chunk's text result is checked to
# hold one line per marker), and the chunks are concatenated and indexed
# (bcftools); the chunks read the bit-packed panel. With the hmm engine the
# chromosome's study is phased once (snp-impute --phase-only) and every chunk
# reads those haplotypes (--phased). The chromosomes are then joined, keeping the markers whose
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
# Input paths in the config are relative to the config file (scripts/study_config.py);
# the results go to output_dir under the folder snakemake runs in.

import os
import shlex
import sys

sys.path.insert(0, os.path.join(workflow.basedir, "scripts"))
from study_config import ConfigError, Settings  # noqa: E402

try:
    # Keys given with --config (as key=value): their paths are relative to
    # the working directory.
    COMMAND_LINE_KEYS = {arg.split("=", 1)[0] for arg in workflow.config_args or []}
    SETTINGS = Settings(config, workflow.overwrite_configfiles or [], COMMAND_LINE_KEYS)
except ConfigError as error:
    raise ValueError(f"config: {error}") from None
OUT = SETTINGS.output_dir
CHROMOSOMES = SETTINGS.chromosomes


def find_bin_dir():
    """The programs' directory: bin_dir, else the installed programs beside
    an installed workflow (PREFIX/share/snp-toolkit/workflow -> PREFIX/bin),
    else the build directory of the source tree, else PATH ("")."""
    if SETTINGS.bin_dir:
        return SETTINGS.bin_dir
    for candidate in (os.path.join(workflow.basedir, "..", "..", "..", "bin"),
                      os.path.join(workflow.basedir, "..", "build")):
        if os.access(os.path.join(candidate, "snp-impute"), os.X_OK):
            return os.path.realpath(candidate)
    return ""


BIN = find_bin_dir()


def program(name):
    return os.path.join(BIN, name) if BIN else name


def setting(chrom, key):
    return CHROMOSOMES[chrom][key]


# The status: a file of case IDs, or a case/control phenotype file (with
# `pheno_name` its column), which every program reads itself; the chip QC
# takes the case IDs that snp-convert cases reads from it.
STATUS_KEY = SETTINGS.status_key
STATUS = SETTINGS.status
PHENO_NAME = SETTINGS.pheno_name
STATUS_OPTIONS = f"--{STATUS_KEY} {shlex.quote(STATUS)}" + (f" --pheno-name {shlex.quote(PHENO_NAME)}" if PHENO_NAME else "")
CASES = STATUS if STATUS_KEY == "cases" else f"{OUT}/pheno-cases.txt"
R2 = SETTINGS.r2_threshold
TOP = SETTINGS.top_markers
PERMUTATIONS = SETTINGS.permutations
SEED = SETTINGS.seed
PERMUTATION_JOBS = SETTINGS.permutation_jobs
# The permutations of each analysis job, as (first, last) from 1, in order.
PERMUTATION_RANGES = [(PERMUTATIONS * j // PERMUTATION_JOBS + 1, PERMUTATIONS * (j + 1) // PERMUTATION_JOBS)
                      for j in range(PERMUTATION_JOBS)]

CONVERT = f"{OUT}/chr{{chrom}}/convert"
CHUNK = f"{OUT}/chr{{chrom}}/chunks/{{first}}-{{last}}"
CHUNK_LOG = f"{OUT}/chr{{chrom}}/logs/{{first}}-{{last}}.log"
GENOME = f"{OUT}/study.imputed.vcf.gz"
REPORT = f"{OUT}/report/report.html"
PLOTS = [f"{OUT}/report/{name}.{kind}" for name in ("manhattan", "qq", "callrate") for kind in ("png", "svg")]
ANALYSIS_FILES = ["Final_result.txt", "P_value.txt", "csm_markers.tsv", "csm_model.tsv"]

wildcard_constraints:
    chrom=r"[A-Za-z0-9_.]+",
    first=r"[1-9][0-9]*",
    last=r"[1-9][0-9]*",

localrules: all, pheno_cases, contigs, genetic_map, convert_panel, convert_study, binary_parameters, chunk_parameters,
    check_chunk, concatenate, marker_summary, join_chromosomes, screen, report


def failure(what, log, shown=None):
    """The end of a shell command that sends its output to `log` and fails
    the job naming the log (as `shown`, where the command changed directory)."""
    return (f' > {log} 2>&1 || {{{{ echo "{what} failed (exit status $?); see {shown or log}" >&2;'
            " exit 1; }}")


rule all:
    input:
        REPORT,
        PLOTS,


include: "qc.smk"
include: "association.smk"


# Each chromosome's contig names in the panel and the chip: as the config
# gives them, else matched (`20` and `chr20`) with a note.
rule contigs:
    input:
        panel=lambda wc: setting(wc.chrom, "panel_vcf"),
        study=lambda wc: setting(wc.chrom, "study_vcf"),
    output:
        f"{OUT}/chr{{chrom}}/contigs.tsv",
    params:
        script=f"{workflow.basedir}/scripts/match-contig.sh",
        panel=lambda wc: setting(wc.chrom, "panel_contig") or "",
        study=lambda wc: setting(wc.chrom, "study_contig") or "",
    shell:
        "panel={params.panel:q}; study={params.study:q};"
        " [ -n \"$panel\" ] || panel=$(bash {params.script:q} {input.panel:q} {wildcards.chrom} 'panel VCF');"
        " [ -n \"$study\" ] || study=$(bash {params.script:q} {input.study:q} {wildcards.chrom} 'chip VCF');"
        " printf 'panel\\t%s\\nstudy\\t%s\\n' \"$panel\" \"$study\" > {output:q}.partial && mv {output:q}.partial {output:q}"


def contig(chrom, which):
    """The shell words giving the contig name of `which` (panel or study)
    from the file of the contigs rule, read when the job runs."""
    path = shlex.quote(f"{OUT}/chr{chrom}/contigs.tsv")
    return f'"$(sed -n "s/^{which}\t//p" {path})"'


# The chromosome's genetic map, plain (the map may be gzipped).
rule genetic_map:
    input:
        lambda wc: setting(wc.chrom, "genetic_map"),
    output:
        f"{OUT}/chr{{chrom}}/genetic_map.txt",
    shell:
        "gzip -cdf {input:q} > {output:q}.partial && mv {output:q}.partial {output:q}"


rule convert_panel:
    input:
        vcf=lambda wc: setting(wc.chrom, "panel_vcf"),
        contigs=f"{OUT}/chr{{chrom}}/contigs.tsv",
    output:
        hap=CONVERT + "/hapmap.hap",
        map=CONVERT + "/hapmap.map",
        bin=CONVERT + "/hapmap.bin",
    log:
        f"{OUT}/chr{{chrom}}/logs/convert-panel.log",
    params:
        program=program("snp-convert"),
        contig=lambda wc: contig(wc.chrom, "panel"),
        dir=CONVERT,
    shell:
        "{params.program:q} panel --vcf {input.vcf:q} --out {params.dir:q} --chromosome {params.contig} --drop-monomorphic"
        " --binary" + failure("snp-convert panel on chromosome {wildcards.chrom}", "{log:q}")


rule pheno_cases:
    input:
        pheno=STATUS,
        vcf=setting(next(iter(CHROMOSOMES)), "study_vcf"),
    output:
        f"{OUT}/pheno-cases.txt",
    log:
        f"{OUT}/logs/pheno-cases.log",
    params:
        program=program("snp-convert"),
        name=f"--pheno-name {shlex.quote(PHENO_NAME)}" if PHENO_NAME else "",
    shell:
        "{params.program:q} cases --vcf {input.vcf:q} --pheno {input.pheno:q} {params.name} --out {output:q}"
        + failure("snp-convert cases", "{log:q}")


# A checkpoint: the chunks of a chromosome follow from its converted panel.
checkpoint convert_study:
    input:
        vcf=f"{OUT}/chr{{chrom}}/qc/chip.vcf.gz",
        cases=CASES,
        panel=rules.convert_panel.output,
        contigs=f"{OUT}/chr{{chrom}}/contigs.tsv",
    output:
        params=CONVERT + "/parameter.txt",
        files=[CONVERT + "/" + name for name in ("normal.map", "disease.map", "disease.geno",
                                                 "normal.geno", "study_layout.tsv", "strand_check.tsv")],
    log:
        f"{OUT}/chr{{chrom}}/logs/convert-study.log",
    params:
        program=program("snp-convert"),
        contig=lambda wc: contig(wc.chrom, "study"),
        threshold=lambda wc: setting(wc.chrom, "calling_threshold"),
        dir=CONVERT,
    shell:
        "{params.program:q} study --vcf {input.vcf:q} --cases {input.cases:q} --out {params.dir:q}"
        " --chromosome {params.contig} --threshold {params.threshold}"
        + failure("snp-convert study on chromosome {wildcards.chrom}", "{log:q}")


def chunks(chrom):
    """The (first, last) panel marker ranges of a chromosome's chunks."""
    with open(checkpoints.convert_study.get(chrom=chrom).output.params) as f:
        pairs = dict(line.split(None, 1) for line in f if line.strip())
    markers = int(pairs["population_marker"])
    size = setting(chrom, "chunk_size")
    return [(a, min(a + size - 1, markers)) for a in range(1, markers + 1, size)]


def hmm_engine(chrom):
    return setting(chrom, "engine") == "hmm"


# The parameter file of the whole chromosome with the bit-packed panel as its
# haplotype file (read faster than the text, with the same results).
rule binary_parameters:
    input:
        CONVERT + "/parameter.txt",
    output:
        CONVERT + "/parameter.binary.txt",
    params:
        program=program("snp-impute"),
    shell:
        "{params.program:q} --write-parameters {output:q} {input:q} Reference_data_file=hapmap.bin > /dev/null"


rule chunk_parameters:
    input:
        CONVERT + "/parameter.binary.txt",
    output:
        CHUNK + ".params",
    params:
        program=program("snp-impute"),
        result=CHUNK + ".txt",
    shell:
        "{params.program:q} --write-parameters {output:q} {input:q} first_marker={wildcards.first}"
        " last_marker={wildcards.last} Imputation_result_data_file={params.result:q} > /dev/null"


def engine_options(chrom):
    """snp-impute's engine options for a chromosome's phasing and chunks."""
    entry = CHROMOSOMES[chrom]
    if entry["engine"] != "hmm":
        return "--engine=fast"
    options = f"--engine=hmm --threads {entry['threads']}"
    if entry["genetic_map"]:
        options += " --genetic-map " + shlex.quote(f"{OUT}/chr{chrom}/genetic_map.txt")
    return options


def genetic_map_file(wc):
    return [f"{OUT}/chr{wc.chrom}/genetic_map.txt"] if setting(wc.chrom, "genetic_map") else []


PHASED = f"{OUT}/chr{{chrom}}/phased.vcf"


# hmm engine: the chromosome's study phased once at its typed markers; every
# chunk then imputes its range from these haplotypes.
rule phase:
    input:
        params=CONVERT + "/parameter.binary.txt",
        data=rules.convert_study.output.files,
        panel=rules.convert_panel.output,
        map=genetic_map_file,
    output:
        PHASED,
    log:
        f"{OUT}/chr{{chrom}}/logs/phase.log",
    params:
        program=program("snp-impute"),
        engine=lambda wc: engine_options(wc.chrom),
    threads: lambda wc: setting(wc.chrom, "threads")
    resources:
        mem_mb=lambda wc: setting(wc.chrom, "chunk_mem_mb"),
        runtime=lambda wc: setting(wc.chrom, "chunk_runtime"),
    shell:
        "{params.program:q} {params.engine} --phase-only {output:q} {input.params:q}"
        + failure("snp-impute --phase-only on chromosome {wildcards.chrom}", "{log:q}")


rule impute:
    input:
        params=CHUNK + ".params",
        data=rules.convert_study.output.files,
        panel=rules.convert_panel.output,
        map=genetic_map_file,
        phased=lambda wc: [PHASED.format(chrom=wc.chrom)] if hmm_engine(wc.chrom) else [],
    output:
        txt=temp(CHUNK + ".txt"),
        vcf=temp(CHUNK + ".vcf.gz"),
        tbi=temp(CHUNK + ".vcf.gz.tbi"),
    log:
        CHUNK_LOG,
    params:
        program=program("snp-impute"),
        engine=lambda wc: engine_options(wc.chrom),
        phased=lambda wc: f"--phased {shlex.quote(PHASED.format(chrom=wc.chrom))}" if hmm_engine(wc.chrom) else "",
    threads: lambda wc: setting(wc.chrom, "threads") if hmm_engine(wc.chrom) else 1
    resources:
        mem_mb=lambda wc: setting(wc.chrom, "chunk_mem_mb"),
        runtime=lambda wc: setting(wc.chrom, "chunk_runtime"),
    shell:
        "{params.program:q} {params.engine} {params.phased} --vcf-out {output.vcf:q} {input.params:q}"
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
        maf=SETTINGS.qc_imputed_maf,
    shell:
        "( bcftools concat --no-version -Ou {input:q}"
        " | bcftools view --no-version -i 'INFO/R2>={params.r2} && INFO/AF>={params.maf} && INFO/AF<=1-{params.maf}'"
        " -Oz -o {params.partial:q}"
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
        mem_mb=SETTINGS.analysis_mem_mb,
        runtime=SETTINGS.analysis_runtime,
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
        mem_mb=SETTINGS.analysis_mem_mb,
        runtime=SETTINGS.analysis_runtime,
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
        qc_samples=f"{OUT}/qc/samples.tsv",
        qc_markers=[f"{OUT}/chr{chrom}/qc/markers.tsv" for chrom in CHROMOSOMES],
        provenance=PROVENANCE,
        adjusted=ADJUSTED,
    output:
        html=REPORT,
        plots=PLOTS + ([f"{OUT}/report/pcs.{kind}" for kind in ("png", "svg")] if ADJUSTED and SETTINGS.pcs > 0 else []),
    log:
        f"{OUT}/logs/report.log",
    params:
        python=sys.executable,
        script=f"{workflow.basedir}/scripts/report.py",
        analysis=f"{OUT}/analysis",
        panel_logs=[f"{OUT}/chr{chrom}/logs/convert-panel.log" for chrom in CHROMOSOMES],
        options=" ".join([
            f"--r2-threshold {R2} --imputed-maf {SETTINGS.qc_imputed_maf}",
            f"--qc-sample-call-rate {SETTINGS.qc_sample_call_rate} --qc-marker-call-rate {SETTINGS.qc_marker_call_rate}",
            f"--qc-hwe-p {SETTINGS.qc_hwe_p} --qc-maf {SETTINGS.qc_maf}",
            "" if SETTINGS.five_model else "--no-five-model",
        ]),
        adjusted=(f"--logistic {shlex.quote(LOGISTIC_FILES[0])}"
                  + (f" --eigenvec {shlex.quote(LOGISTIC_FILES[1])}" if SETTINGS.pcs > 0 else "")
                  if ADJUSTED else ""),
    shell:
        "{params.python:q} {params.script:q} --screen {input.table:q} --analysis {params.analysis:q}"
        " {params.options} {params.adjusted} --qc-samples {input.qc_samples:q} --qc-markers {input.qc_markers:q}"
        " --panel-logs {params.panel_logs:q}"
        " --provenance {input.provenance:q} --out {output.html:q} {input.markers:q}"
        + failure("report.py", "{log:q}")
