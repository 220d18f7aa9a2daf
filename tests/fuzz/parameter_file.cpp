// The 18-pair parameter file: parse_parameter_text on the exact bytes, then
// the whole configuration step of snp-impute (file read, echo, count checks)
// and the imputation range that follows from the values.
#include <climits>
#include <sstream>
#include <vector>

#include "driver/parameter_file.h"
#include "driver/run_driver.h"
#include "fuzz_support.h"
#include "base/errors.h"

using namespace snp;


extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view text = fuzz::as_text(data, size);

  // In memory, on a buffer of exactly the input's size.
  RunConfig parsed;
  std::ostringstream warnings;
  parse_parameter_text(text, "parameter.txt", parsed, warnings);

  // Every path value is taken verbatim while the values before it were
  // well-formed; a warning appears only when a value was rejected.
  const std::vector<std::string_view> w = fuzz::words_of(text);
  const std::string* paths[] = {&parsed.path_hapmap_datadirectory, &parsed.path_disease_datadirectory,
                                &parsed.path_hapmap_data_file,     &parsed.path_hapmap_data_mapfile,
                                &parsed.path_disease_data_file1,   &parsed.path_disease_data_mapfile1,
                                &parsed.path_disease_data_file0,   &parsed.path_disease_data_mapfile0,
                                &parsed.result_data_file};
  if (warnings.str().empty()) {
    for (size_t p = 0; p < 9; ++p)
      if (2 * (7 + p) + 1 < w.size())
        FUZZ_CHECK(*paths[p] == w[2 * (7 + p) + 1], "path value " + std::to_string(8 + p) + " not taken verbatim");
  } else {
    FUZZ_CHECK(fuzz::contains(warnings.str(), "parameter.txt"), "warning without the file name");
  }

  // The program's configuration step on a file of these bytes.
  RunConfig cfg;
  const std::string path = fuzz::write_scratch("parameter.txt", text);
  std::ostringstream file_warnings;
  try {
    configure_run(cfg, path, fuzz::null_stream(), file_warnings);
  } catch (const InputError& e) {
    FUZZ_CHECK(fuzz::contains(e.what(), path), "count error without the file name");
    return 0;
  }
  FUZZ_CHECK(cfg.population_marker >= 1 && cfg.population_sample >= 1 && cfg.typed_marker >= 1,
             "accepted a count below 1");
  FUZZ_CHECK(cfg.population_marker < INT_MAX && cfg.population_sample < INT_MAX && cfg.typed_marker < INT_MAX &&
                 cfg.typed_sample < INT_MAX,
             "accepted a count that leaves no room for the matrices' spare row and column");
  FUZZ_CHECK(cfg.ncase >= 0 && cfg.ncontrol >= 0 && cfg.typed_sample >= 1 &&
                 static_cast<long>(cfg.typed_sample) == static_cast<long>(cfg.ncase) + cfg.ncontrol,
             "accepted impossible study counts");
  FUZZ_CHECK(cfg.path_hapmap_datadirectory.back() == '/' && cfg.path_disease_datadirectory.back() == '/',
             "directory without a final /");
  const MarkerRange range = imputation_range(cfg);
  FUZZ_CHECK(range.first >= 0 && range.end <= cfg.population_marker, "imputation range outside the panel");
  return 0;
}
