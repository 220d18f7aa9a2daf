// The association library's parameter file: parsed in memory, then read by
// the search, the silent reading and the driver from a work directory, and
// a search sized by it started on no data.
#include <filesystem>
#include <sstream>

#include "analysis/run/context.h"
#include "analysis/search/csm.h"
#include "analysis/run/input_files.h"
#include "analysis/inputs/parameter_file.h"
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
  AnalysisSettings settings;
  fuzz::attempt([&] { settings = read_analysis_settings(ctx.files(), fuzz::null_stream()); });
  peek_csm_parameters(ctx);
  const CsmParameters& p = settings.search;
  // The search sizes its kept-set array from these.
  if (p.sample_size >= 1 && p.number_of_markers >= 1 && p.number_of_markers <= 1000 && p.sample_size <= 1000) {
    fuzz::attempt([&] {
      Rand1State generator;
      OnceNotes shown;
      CSM csm(p, {fuzz::null_stream(), generator, shown, ctx.work_directory + "/store.txt"});
      csm.run(0, AnalysisInput());
    });
  }
}
