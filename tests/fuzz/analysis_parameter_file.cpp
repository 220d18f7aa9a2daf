// The association library's parameter file: parsed in memory, then read by
// the search, the silent reading and the driver from a work directory, and
// a search sized by it started on no data.
#include <filesystem>
#include <sstream>

#include "analysis/context.h"
#include "analysis/csm.h"
#include "analysis/input_files.h"
#include "analysis/parameter_file.h"
#include "harness.h"

using namespace snp;

SNP_FUZZ(input) {
  std::ostringstream console, warnings;
  for (const ParameterRecord& r : parse_parameter_text(input.text(), console, warnings).records) {
    (void)integer_value(r);
    (void)parameter_key(r.name);
  }
  AnalysisContext ctx;
  ctx.console = ctx.warnings = &fuzz::null_stream();
  ctx.work_directory = std::filesystem::path(input.file("analysis/parameter.txt")).parent_path().string();
  CsmParameters p;
  fuzz::attempt([&] { read_csm_parameters(ctx, p); });
  peek_csm_parameters(ctx);
  int ns = 400, nm = 20, repeats = 10, head = 0, recorder = 0;
  ReadPara(ctx, &ns, &nm, &repeats, &head, &recorder);
  // The search sizes its kept-set array from these.
  if (p.sample_size >= 1 && p.number_of_markers >= 1 && p.number_of_markers <= 1000 && p.sample_size <= 1000) {
    CSM csm(ctx, p);
    csm.run(0, AnalysisInput());
  }
}
