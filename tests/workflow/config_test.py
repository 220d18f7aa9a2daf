#!/usr/bin/env python3
"""config_test.py SOURCE_DIR: the study job's config checks
(workflow/scripts/study_config.py) on small configs written to a scratch
directory: unknown keys with the nearest known one, repeated chromosomes,
messages naming their place, values with their setting, paths relative to
the config file."""
import os
import sys
import tempfile

sys.path.insert(0, os.path.join(sys.argv[1], "workflow", "scripts"))
from study_config import ConfigError, Settings, load_file, misspelled_study  # noqa: E402

BASE = """study:
  cases: cases.txt
  study_vcf: chip.vcf.gz
chromosomes:
  1:
    panel_vcf: panel.vcf.gz
"""
failures = []


def settings(text, overrides=()):
    with tempfile.TemporaryDirectory() as scratch:
        path = os.path.join(scratch, "my.yaml")
        with open(path, "w") as f:
            f.write(text)
        return scratch, Settings(load_file(path), [path], set(overrides), cwd="/run/here")


def refused(text, message):
    try:
        settings(text)
    except ConfigError as error:
        if message not in str(error):
            failures.append(f"expected '{message}', got '{error}'")
        return
    failures.append(f"accepted a config that should say '{message}':\n{text}")


refused("top_marker: 5\n" + BASE, "the config's top level: unknown key 'top_marker' (did you mean 'top_markers'?)")
refused("permutation: 9\n" + BASE, "unknown key 'permutation' (did you mean 'permutations'?)")
refused(BASE.replace("  cases:", "  case:"), "the study section: unknown key 'case' (did you mean 'cases'?)")
refused(BASE + "    genetic_mapp: m.txt\n", "chromosome 1: unknown key 'genetic_mapp' (did you mean 'genetic_map'?)")
refused(BASE + "  1:\n    panel_vcf: other.vcf.gz\n", "'1' is listed twice (first on line 5)")
refused(BASE + "  \"1\":\n    panel_vcf: other.vcf.gz\n", "'1' is listed twice")
refused(BASE + "  2:\n    study_vcf: x.vcf.gz\n", "chromosome 2: no 'panel_vcf'")
refused("engine: hmmm\n" + BASE, "'chromosome 1: engine' must be one of hmm, fast, not 'hmmm' (did you mean 'hmm'?)")
refused("association: logistc\n" + BASE, "'association' must be one of logistic, five_model")
refused("qc_hwe_p: 2\n" + BASE, "'qc_hwe_p' must be a number >= 0 and <= 1, not 2")
refused(BASE.replace("  cases: cases.txt\n", ""), "either 'cases' (case IDs) or 'pheno'")

# Two chromosomes that are one once read as names: 1 and "1" in a mapping
# built without the file (as --config values would).
try:
    Settings({"study": {"cases": "c", "study_vcf": "s"}, "chromosomes": {1: {"panel_vcf": "a"}, "1": {"panel_vcf": "b"}}})
    failures.append("1 and '1' accepted as two chromosomes")
except ConfigError as error:
    if "chromosome 1 is listed twice" not in str(error):
        failures.append(f"1 and '1': {error}")

for config, expected in (({"stduy": {}, "chromosomes": {}}, "no 'study' section (found 'stduy': did you mean 'study'?)"),
                         ({"chromosomes": {1: {"panel_vcf": "p"}}}, "no 'study' section"),
                         ({"chromosomes": {1: {"reference_dir": "d", "cases": 100}}}, None)):
    found = misspelled_study(config)
    if (expected is None) != (found is None) or (expected and expected not in found):
        failures.append(f"misspelled_study({config}) = {found!r}")

# Paths: relative to the config file, or to the working directory for
# --config values; the output directory always to the working directory.
scratch, s = settings(BASE + "    genetic_map: /maps/m.txt.gz\noutput_dir: out\n", overrides={"output_dir"})
checks = [(s.status, os.path.join(scratch, "cases.txt")), (s.chromosomes["1"]["panel_vcf"], os.path.join(scratch, "panel.vcf.gz")),
          (s.chromosomes["1"]["genetic_map"], "/maps/m.txt.gz"), (s.output_dir, "out"),
          (s.chromosomes["1"]["chunk_size"], 25000), (s.association, "logistic")]
failures += [f"got {got!r}, expected {want!r}" for got, want in checks if got != want]

for failure in failures:
    print("FAIL:", failure, file=sys.stderr)
print(f"config_test: {'all passed' if not failures else f'{len(failures)} failure(s)'}")
sys.exit(1 if failures else 0)
