# The adjusted association test and the run's provenance (included by
# study.smk).
#
# association: logistic runs snp-screen's logistic regression on the imputed
# dosages, adjusted for `pcs` principal components of the genotypes and the
# `covariates` file; the report's Manhattan and QQ plots then show it, with
# the PC plot and the inflation before and after adjustment. The five-model
# screen runs in any case: the multi-marker analysis takes its top markers.

import hashlib
import json
import subprocess

from snakemake import __version__ as SNAKEMAKE_VERSION

LOGISTIC = f"{OUT}/association/study"
LOGISTIC_FILES = [LOGISTIC + suffix for suffix in (".logistic.tsv", ".eigenvec", ".eigenval")[: 3 if SETTINGS.pcs > 0 else 1]]
ADJUSTED = LOGISTIC_FILES if SETTINGS.association == "logistic" else []
PROVENANCE = f"{OUT}/report/provenance.json"

localrules: provenance


rule logistic:
    input:
        vcf=GENOME,
        status=STATUS,
        covariates=[SETTINGS.covariates] if SETTINGS.covariates else [],
    output:
        LOGISTIC_FILES,
    log:
        f"{OUT}/logs/logistic.log",
    params:
        program=program("snp-screen"),
        covariates=f"--covar {shlex.quote(SETTINGS.covariates)}" if SETTINGS.covariates else "",
        pcs=SETTINGS.pcs,
        out=LOGISTIC,
    threads: SETTINGS.threads
    resources:
        mem_mb=SETTINGS.analysis_mem_mb,
        runtime=SETTINGS.analysis_runtime,
    shell:
        "{params.program:q} --logistic --vcf {input.vcf:q} --dosage " + STATUS_OPTIONS +
        " {params.covariates} --pcs {params.pcs} --threads {threads} --out {params.out:q}"
        + failure("snp-screen --logistic", "{log:q}")


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def program_version(command):
    try:
        out = subprocess.run(command, capture_output=True, text=True, timeout=60).stdout
        return out.splitlines()[0].strip() if out.strip() else "unknown"
    except OSError:
        return "not found"


def study_inputs():
    files = {STATUS}
    if SETTINGS.covariates:
        files.add(SETTINGS.covariates)
    for entry in CHROMOSOMES.values():
        files.update(v for k, v in entry.items() if k in ("panel_vcf", "study_vcf", "genetic_map") and v)
    return sorted(files)


# What the report needs to be reproduced: the programs' versions, every
# setting (defaults included) and the inputs' checksums.
rule provenance:
    input:
        study_inputs(),
    output:
        PROVENANCE,
    run:
        programs = [(name, program_version([program(name), "--version"]), program(name))
                    for name in ("snp-convert", "snp-impute", "snp-screen", "csm-analysis")]
        programs += [("bcftools", program_version(["bcftools", "--version"]), "bcftools"),
                     ("snakemake", SNAKEMAKE_VERSION, "snakemake"), ("python", sys.version.split()[0], sys.executable)]
        record = {"programs": programs, "settings": [[k, str(v)] for k, v in SETTINGS.summary()],
                  "inputs": [[path, sha256(path)] for path in input]}
        os.makedirs(os.path.dirname(output[0]), exist_ok=True)
        with open(output[0] + ".partial", "w") as f:
            json.dump(record, f, indent=1)
        os.replace(output[0] + ".partial", output[0])
