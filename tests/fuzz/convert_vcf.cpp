// A VCF converted as a panel and as a study (the first sample a case), and
// the text files written from each.
#include <htslib/hts_log.h>

#include <sstream>

#include "convert/output_files.h"
#include "convert/panel_converter.h"
#include "convert/study_converter.h"
#include "convert/vcf_reader.h"
#include "harness.h"

using namespace snp::convert;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  hts_set_log_level(HTS_LOG_OFF);
  return 0;
}

SNP_FUZZ(input) {
  const std::string path = input.file("input.vcf");
  std::ostringstream out;
  snp::fuzz::attempt([&] {
    VcfReader reader(path);
    const PanelData panel = convert_panel(reader, std::nullopt);
    write_reference_map(panel, out);
    write_haplotype_file(panel, out);
  });
  VcfReader reader(path);
  const StudyData study = convert_study(reader, {reader.samples().front()}, "cases.txt", std::nullopt);
  write_study_map(study, out);
  for (bool cases : {true, false}) write_genotypes(study, cases, out);
}
