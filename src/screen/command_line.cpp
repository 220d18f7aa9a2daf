#include "screen/command_line.h"

namespace snp::screen {

const ProgramSpec kScreenProgram{
    "snp-screen",
    "snp-screen [options]",
    "Tests every marker of DIR/CaseAndControlData.txt for association with\n"
    "case/control status under the additive (allelic), dominant, recessive and\n"
    "genotype models and under their minimum. Lists the markers with p <= 0.002\n"
    "(minimum model: p <= 0.0005), selects markers per model by the\n"
    "Benjamini-Hochberg rule at a false discovery rate of 0.05 (minimum model:\n"
    "0.0125), and writes the selected markers with their chromosome and locus to\n"
    "FDR_results.txt in the current directory; everything else goes to standard\n"
    "output.\n"
    "The data file holds one line per individual: the status (1 = case, any other\n"
    "value = control), then one code per marker, 0, 1 or 2 (copies of the counted\n"
    "allele) or -1 (missing), with or without blanks between them. Markers after\n"
    "the last code of a short line are missing.\n",
    {
        {"--samples", "N", "lines (individuals) to read (default: controls + cases)"},
        {"--markers", "N", "markers (codes per line) (default 541325)"},
        {"--controls", "N", "controls of the study (default 271)"},
        {"--cases", "N",
         "cases of the study (default 276)\n"
         "A test's group size is the study's count less the\n"
         "missing codes of the group at the marker."},
        {"--data-dir", "DIR",
         "directory of CaseAndControlData.txt\n"
         "(default /home/kestrune/Study_workdir/Data/)"},
        {"--names-dir", "DIR",
         "directory of Chromosome_SNP_Length.txt, the marker\n"
         "counts of chromosomes 1 to 26 that give a selected\n"
         "marker its chromosome and locus\n"
         "(default /home/kestrune/Study_workdir/Data/)"},
    },
    "Exit status: 0 on success, 1 on any error.\n",
};

ScreenOptions screen_options(const ParsedOptions& parsed) {
  ScreenOptions options;
  ScreenSettings& s = options.settings;
  s.Marker = parsed.count("--markers", 1, s.Marker);
  s.samplesize.controls = parsed.count("--controls", 0, s.samplesize.controls);
  s.samplesize.cases = parsed.count("--cases", 0, s.samplesize.cases);
  if (const auto dir = parsed.value("--data-dir")) s.Datapath2 = with_final_slash(*dir);
  if (const auto dir = parsed.value("--names-dir")) options.names_dir = with_final_slash(*dir);
  s.Sample = parsed.count("--samples", 1, s.samplesize.controls + s.samplesize.cases);
  if (s.Sample < 1) throw_usage_error(kScreenProgram.name, "--samples must be at least 1 (controls + cases is 0)");
  return options;
}

}  // namespace snp::screen
