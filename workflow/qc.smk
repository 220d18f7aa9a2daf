# Quality control of the chip genotypes before imputation (included by
# study.smk). Per chromosome, bcftools counts each sample's missing calls;
# samples whose call rate over all chromosomes is below
# `qc_sample_call_rate` are removed; then, among the kept samples, each
# marker's call rate (`qc_marker_call_rate`), Hardy-Weinberg p-value in the
# controls (`qc_hwe_p`) and minor allele frequency (`qc_maf`) decide which
# chip markers are removed. The kept genotypes, <output_dir>/chr<N>/qc/chip.vcf.gz
# (written by bcftools), go to the conversion; <output_dir>/qc/samples.tsv and
# chr<N>/qc/markers.tsv say what was removed and why.

QC = f"{OUT}/chr{{chrom}}/qc"

localrules: qc_sample_missing, qc_samples, qc_markers, qc_chip


rule qc_sample_missing:
    input:
        vcf=lambda wc: setting(wc.chrom, "study_vcf"),
        contigs=f"{OUT}/chr{{chrom}}/contigs.tsv",
    output:
        QC + "/sample-missing.tsv",
    log:
        f"{OUT}/chr{{chrom}}/logs/qc-samples.log",
    params:
        contig=lambda wc: contig(wc.chrom, "study"),
    shell:
        # bcftools stats: PSC lines, sample in column 3, missing calls in 14;
        # SN "number of records" the markers.
        "( bcftools stats -s - -t {params.contig} {input.vcf:q} | awk -F'\\t'"
        " '$1 == \"SN\" && $3 == \"number of records:\" {{ n = $4 }}"
        " $1 == \"PSC\" {{ sample[++k] = $3; missing[k] = $14 }}"
        " END {{ for (i = 1; i <= k; i++) print sample[i] \"\\t\" missing[i] \"\\t\" n }}' > {output:q}.partial"
        " && mv {output:q}.partial {output:q} )"
        + failure("bcftools stats of chromosome {wildcards.chrom}", "{log:q}")


rule qc_samples:
    input:
        missing=[f"{OUT}/chr{chrom}/qc/sample-missing.tsv" for chrom in CHROMOSOMES],
        cases=CASES,
    output:
        table=f"{OUT}/qc/samples.tsv",
        removed=f"{OUT}/qc/removed-samples.txt",
        controls=f"{OUT}/qc/controls.txt",
    log:
        f"{OUT}/logs/qc-samples.log",
    params:
        python=sys.executable,
        script=f"{workflow.basedir}/scripts/qc.py",
        rate=SETTINGS.qc_sample_call_rate,
        dir=f"{OUT}/qc",
    shell:
        "{params.python:q} {params.script:q} samples --cases {input.cases:q} --min-call-rate {params.rate}"
        " --out {params.dir:q} {input.missing:q}" + failure("the sample QC", "{log:q}")


rule qc_markers:
    input:
        vcf=lambda wc: setting(wc.chrom, "study_vcf"),
        contigs=f"{OUT}/chr{{chrom}}/contigs.tsv",
        removed=rules.qc_samples.output.removed,
        controls=rules.qc_samples.output.controls,
    output:
        table=QC + "/markers.tsv",
        exclude=QC + "/exclude.tsv",
    log:
        f"{OUT}/chr{{chrom}}/logs/qc-markers.log",
    params:
        python=sys.executable,
        script=f"{workflow.basedir}/scripts/qc.py",
        contig=lambda wc: contig(wc.chrom, "study"),
        dir=QC,
        rate=SETTINGS.qc_marker_call_rate,
        hwe=SETTINGS.qc_hwe_p,
        maf=SETTINGS.qc_maf,
    shell:
        "( bcftools view --no-version -t {params.contig} -S ^{input.removed:q} --force-samples -Ou {input.vcf:q}"
        " | bcftools +fill-tags -Ou - -- -t F_MISSING,MAF"
        " | bcftools query -f '%CHROM\\t%POS\\t%ID\\t%REF\\t%ALT\\t%F_MISSING\\t%MAF\\n' > {params.dir:q}/stats.tsv"
        " && if [ -s {input.controls:q} ]; then"
        " bcftools view --no-version -t {params.contig} -S {input.controls:q} --force-samples -Ou {input.vcf:q}"
        " | bcftools +fill-tags -Ou - -- -t HWE | bcftools query -f '%HWE\\n';"
        " fi > {params.dir:q}/hwe.tsv"
        " && {params.python:q} {params.script:q} markers --chromosome {wildcards.chrom}"
        " --stats {params.dir:q}/stats.tsv --hwe {params.dir:q}/hwe.tsv --min-call-rate {params.rate}"
        " --min-hwe-p {params.hwe} --min-maf {params.maf} --out {params.dir:q} )"
        + failure("the marker QC of chromosome {wildcards.chrom}", "{log:q}")


rule qc_chip:
    input:
        vcf=lambda wc: setting(wc.chrom, "study_vcf"),
        contigs=f"{OUT}/chr{{chrom}}/contigs.tsv",
        removed=rules.qc_samples.output.removed,
        exclude=rules.qc_markers.output.exclude,
    output:
        QC + "/chip.vcf.gz",
    log:
        f"{OUT}/chr{{chrom}}/logs/qc-chip.log",
    params:
        contig=lambda wc: contig(wc.chrom, "study"),
    shell:
        "( bcftools view --no-version -t {params.contig} -S ^{input.removed:q} --force-samples -Ou {input.vcf:q}"
        " | if [ -s {input.exclude:q} ]; then bcftools view --no-version -T ^{input.exclude:q} -Oz -o {output:q}.partial;"
        " else bcftools view --no-version -Oz -o {output:q}.partial; fi"
        " && mv {output:q}.partial {output:q} )"
        + failure("bcftools view of chromosome {wildcards.chrom}'s kept chip genotypes", "{log:q}")
