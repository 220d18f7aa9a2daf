"""The study job's config, checked before anything runs.

Every key must be known (an unknown one is an error suggesting the nearest
known key), every value is checked with its setting named, and a chromosome
may be listed only once. Input paths are relative to the config file that
gives them (to the working directory for `--config` values), so a config and
its data can move together and snakemake can run from any folder; the
output directory is relative to the folder snakemake runs in.
"""
import difflib
import os
import re
import sys

import yaml


class ConfigError(ValueError):
    pass


# Settings of the whole study, given at the top level or in the study section.
STUDY_DEFAULTS = {
    "engine": "hmm",
    "threads": 1,
    "calling_threshold": 0.33,
    "chunk_mem_mb": 2000,
    "chunk_runtime": 60,
    "r2_threshold": 0.3,
    "qc_sample_call_rate": 0.97,
    "qc_marker_call_rate": 0.95,
    "qc_hwe_p": 1e-6,
    "qc_maf": 0.01,
    "qc_imputed_maf": 0.01,
    "association": "logistic",
    "pcs": 10,
    "five_model": True,
    "top_markers": 20,
    "permutations": 199,
    "seed": 1,
    "analysis_mem_mb": 4000,
    "analysis_runtime": 600,
    "permutation_jobs": 1,
}
# The chunk size suits the engine: every hmm chunk still loads the whole
# panel and the chromosome's phased haplotypes, so its chunks are larger.
CHUNK_SIZE = {"hmm": 25000, "fast": 5000}
ENGINES = ("hmm", "fast")
ASSOCIATIONS = ("logistic", "five_model")
TOP_KEYS = {"bin_dir", "output_dir", "study", "chromosomes", "chunk_size", "covariates"} | set(STUDY_DEFAULTS)
STUDY_KEYS = {"cases", "pheno", "pheno_name", "study_vcf", "covariates", "chunk_size"} | set(STUDY_DEFAULTS)
# Settings a chromosome's entry may give for itself.
CHROMOSOME_KEYS = {"panel_vcf", "study_vcf", "genetic_map", "contig", "panel_contig", "study_contig",
                   "engine", "threads", "chunk_size", "calling_threshold", "chunk_mem_mb", "chunk_runtime"}
PATH_KEYS = {"bin_dir", "cases", "pheno", "study_vcf", "covariates", "panel_vcf", "genetic_map"}
# Keys only a study's config holds (a chunked-imputation config gives its
# chromosomes' `cases` as counts): a config with them and no study section
# has lost its study section.
STUDY_CHROMOSOME_MARKS = {"panel_vcf", "study_vcf", "genetic_map"}
STUDY_MARKS = {"panel_vcf", "study_vcf", "pheno", "bin_dir"}


def nearest(key, known):
    match = difflib.get_close_matches(str(key), sorted(known), n=1, cutoff=0.5)
    return f" (did you mean '{match[0]}'?)" if match else ""


def check_keys(section, known, place):
    for key in section:
        if key not in known:
            raise ConfigError(f"{place}: unknown key '{key}'{nearest(key, known)}")


class UniqueKeyLoader(yaml.SafeLoader):
    """A YAML loader that refuses a key repeated in one mapping."""

    def construct_mapping(self, node, deep=False):
        seen = {}
        for key_node, _ in node.value:
            key = self.construct_object(key_node, deep=deep)
            name = str(key)
            if name in seen:
                raise ConfigError(f"line {key_node.start_mark.line + 1}: '{name}' is listed twice "
                                  f"(first on line {seen[name]})")
            seen[name] = key_node.start_mark.line + 1
        return super().construct_mapping(node, deep)


def load_file(path):
    """The config file as the strict loader reads it; errors name the file."""
    try:
        with open(path, encoding="utf-8") as f:
            return yaml.load(f, Loader=UniqueKeyLoader) or {}
    except ConfigError as error:
        raise ConfigError(f"{path}, {error}") from None
    except (OSError, yaml.YAMLError) as error:
        raise ConfigError(f"{path}: {error}") from None


def misspelled_study(config):
    """Why a config without a study section looks like a study's, or None."""
    if "study" in config:
        return None
    close = difflib.get_close_matches("study", [str(k) for k in config], n=1, cutoff=0.6)
    entries = config.get("chromosomes")
    marked = isinstance(entries, dict) and any(
        isinstance(e, dict) and STUDY_CHROMOSOME_MARKS & set(e) for e in entries.values())
    if close or marked or STUDY_MARKS & set(config):
        hint = f" (found '{close[0]}': did you mean 'study'?)" if close else ""
        return (f"the config has no 'study' section{hint}: a study gives 'study' with its "
                "'cases' or 'pheno' and 'study_vcf'")
    return None


class Settings:
    """The checked settings of one study."""

    def __init__(self, config, config_files=(), overrides=None, cwd=None):
        self.cwd = cwd or os.getcwd()
        self.overrides = overrides or {}
        self.files = [(os.path.abspath(p), load_file(p)) for p in config_files]
        self.config = config
        study = config.get("study")
        if not isinstance(study, dict):
            raise ConfigError("the study section must be a mapping with the study's 'cases' or 'pheno' "
                              "and 'study_vcf'")
        self.study = study
        check_keys(config, TOP_KEYS, "the config's top level")
        check_keys(study, STUDY_KEYS, "the study section")
        # Relative to the folder snakemake runs in, and kept relative there.
        self.output_dir = self.path_value(str(config.get("output_dir", "study-results")), "output_dir",
                                          relative_to="")
        self.bin_dir = self.input_path(("bin_dir",)) if config.get("bin_dir") else ""
        self.read_status()
        self.chromosomes = self.read_chromosomes()
        self.read_study_settings()

    # Where a value came from: a --config value is relative to the working
    # directory, a file's value to that file's directory.
    def origin(self, keys):
        if keys[0] in self.overrides:
            return self.cwd
        for path, data in reversed(self.files):
            node = data
            for key in keys:
                if not isinstance(node, dict):
                    break
                node = next((v for k, v in node.items() if str(k) == str(key)), None)
            else:
                if node is not None:
                    return os.path.dirname(path)
        return self.cwd

    def path_value(self, value, name, relative_to):
        if not isinstance(value, str) or not re.fullmatch(r"\S+", value):
            raise ConfigError(f"'{name}' must be a path without white space, not {value!r}")
        return os.path.normpath(os.path.join(relative_to, os.path.expanduser(value)))

    def input_path(self, keys, name=None):
        node = self.config
        for key in keys:
            node = node[key]
        return self.path_value(node, name or keys[-1], self.origin(keys))

    def read_status(self):
        study = self.study
        if ("cases" in study) == ("pheno" in study):
            raise ConfigError("the study section gives either 'cases' (case IDs) or 'pheno' (a phenotype file)")
        self.status_key = "cases" if "cases" in study else "pheno"
        self.status = self.input_path(("study", self.status_key))
        self.pheno_name = study.get("pheno_name")
        if self.pheno_name is not None:
            if self.status_key != "pheno":
                raise ConfigError("the study section: 'pheno_name' chooses a column of 'pheno', and there is none")
            if not isinstance(self.pheno_name, str) or not re.fullmatch(r"\S+", self.pheno_name):
                raise ConfigError(f"'pheno_name' must be a column name, not {self.pheno_name!r}")
        self.covariates = None
        for keys in (("study", "covariates"), ("covariates",)):
            node = self.config if len(keys) == 1 else self.study
            if node.get(keys[-1]) is not None:
                self.covariates = self.input_path(keys, "covariates")
                break

    def study_value(self, key):
        for source in (self.study, self.config):
            if source.get(key) is not None:
                return source[key]
        if key == "chunk_size":
            return None
        return STUDY_DEFAULTS[key]

    def study_path(self, key):
        for keys in (("study", key), (key,)):
            node = self.study if len(keys) == 2 else self.config
            if node.get(key) is not None:
                return self.input_path(keys, key)
        return None

    def read_chromosomes(self):
        entries = self.config.get("chromosomes")
        if not isinstance(entries, dict) or not entries:
            raise ConfigError("the config lists no chromosomes (a 'chromosomes' section with one entry "
                              "per chromosome)")
        chromosomes = {}
        for key, entry in entries.items():
            chrom = str(key)
            place = f"chromosome {chrom}"
            if not re.fullmatch(r"[A-Za-z0-9_.]+", chrom):
                raise ConfigError(f"{place}: names are letters, digits, '_' and '.'")
            if chrom in chromosomes:
                raise ConfigError(f"{place} is listed twice")
            if entry is not None and not isinstance(entry, dict):
                raise ConfigError(f"{place}: the entry must be a mapping of settings, not {entry!r}")
            entry = dict(entry or {})
            check_keys(entry, CHROMOSOME_KEYS, place)
            chromosomes[chrom] = self.read_chromosome(key, chrom, entry, place)
        return chromosomes

    def read_chromosome(self, key, chrom, entry, place):
        result = {}
        if entry.get("panel_vcf") is None:
            raise ConfigError(f"{place}: no 'panel_vcf' (the phased panel of the chromosome)")
        result["panel_vcf"] = self.input_path(("chromosomes", key, "panel_vcf"), f"{place}: panel_vcf")
        if entry.get("study_vcf") is not None:
            result["study_vcf"] = self.input_path(("chromosomes", key, "study_vcf"), f"{place}: study_vcf")
        else:
            result["study_vcf"] = self.study_path("study_vcf")
            if result["study_vcf"] is None:
                raise ConfigError(f"{place}: no 'study_vcf' (give it in the study section or the chromosome's "
                                  "entry)")
        result["genetic_map"] = (self.input_path(("chromosomes", key, "genetic_map"), f"{place}: genetic_map")
                                 if entry.get("genetic_map") is not None else None)
        for contig in ("contig", "panel_contig", "study_contig"):
            value = entry.get(contig)
            if value is not None and not re.fullmatch(r"[^\s,:]+", str(value)):
                raise ConfigError(f"{place}: '{contig}' must be a contig name, not {value!r}")
        contig = entry.get("contig")
        result["panel_contig"] = str(entry.get("panel_contig", contig) or "") or None
        result["study_contig"] = str(entry.get("study_contig", contig) or "") or None

        def value(k):
            return entry[k] if entry.get(k) is not None else self.study_value(k)

        result["engine"] = choice(value("engine"), f"{place}: engine", ENGINES)
        result["threads"] = number(value("threads"), f"{place}: threads", 1)
        size = value("chunk_size")
        result["chunk_size"] = number(size if size is not None else CHUNK_SIZE[result["engine"]],
                                      f"{place}: chunk_size", 1)
        for k in ("chunk_mem_mb", "chunk_runtime"):
            result[k] = number(value(k), f"{place}: {k}", 1)
        result["calling_threshold"] = number(value("calling_threshold"), f"{place}: calling_threshold", 0,
                                             whole=False)
        if result["genetic_map"] and result["engine"] != "hmm":
            print(f"Note: {place}: the fast engine reads no genetic map; 'genetic_map' is not used",
                  file=sys.stderr)
        return result

    def read_study_settings(self):
        get = self.study_value
        self.r2_threshold = number(get("r2_threshold"), "r2_threshold", 0, whole=False, maximum=1)
        for k in ("qc_sample_call_rate", "qc_marker_call_rate", "qc_hwe_p", "qc_maf", "qc_imputed_maf"):
            setattr(self, k, number(get(k), k, 0, whole=False, maximum=1 if "maf" not in k else 0.5))
        self.association = choice(get("association"), "association", ASSOCIATIONS)
        self.pcs = number(get("pcs"), "pcs", 0)
        self.five_model = get("five_model")
        if not isinstance(self.five_model, bool):
            raise ConfigError(f"'five_model' must be true or false, not {self.five_model!r}")
        self.top_markers = number(get("top_markers"), "top_markers", 1)
        self.permutations = number(get("permutations"), "permutations", 1)
        self.seed = number(get("seed"), "seed", 0)
        self.analysis_mem_mb = number(get("analysis_mem_mb"), "analysis_mem_mb", 1)
        self.analysis_runtime = number(get("analysis_runtime"), "analysis_runtime", 1)
        self.permutation_jobs = number(get("permutation_jobs"), "permutation_jobs", 1)
        if self.permutation_jobs > self.permutations:
            raise ConfigError(f"permutation_jobs ({self.permutation_jobs}) exceeds permutations "
                              f"({self.permutations})")
        self.threads = number(get("threads"), "threads", 1)

    def summary(self):
        """The settings as (name, value) rows, for the report."""
        rows = [("output_dir", self.output_dir), ("bin_dir", self.bin_dir or "(PATH)"),
                (self.status_key, self.status)]
        if self.pheno_name:
            rows.append(("pheno_name", self.pheno_name))
        if self.covariates:
            rows.append(("covariates", self.covariates))
        for chrom, entry in self.chromosomes.items():
            for k, v in entry.items():
                if v is not None:
                    rows.append((f"chromosomes: {chrom}: {k}", v))
        for k in ("r2_threshold", "qc_sample_call_rate", "qc_marker_call_rate", "qc_hwe_p", "qc_maf",
                  "qc_imputed_maf", "association", "pcs", "five_model", "top_markers", "permutations", "seed",
                  "permutation_jobs"):
            rows.append((k, getattr(self, k)))
        return rows


def number(value, key, minimum, whole=True, maximum=None):
    kinds = (int,) if whole else (int, float)
    if (isinstance(value, bool) or not isinstance(value, kinds) or value < minimum
            or (maximum is not None and value > maximum)):
        kind = "a whole number" if whole else "a number"
        bound = f" and <= {maximum}" if maximum is not None else ""
        raise ConfigError(f"'{key}' must be {kind} >= {minimum}{bound}, not {value!r}")
    return value


def choice(value, key, allowed):
    if value not in allowed:
        raise ConfigError(f"'{key}' must be one of {', '.join(allowed)}, not {value!r}{nearest(value, allowed)}")
    return value
