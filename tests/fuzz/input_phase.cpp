// The whole input phase of snp-impute on the tiny data set with one of its
// five files replaced by the input (first byte: which file): the panel, both
// maps and both genotype files are read, study markers are matched to the
// panel, and the allele coding runs. Either a typed error naming the file,
// or tables that hold only possible values.
#include <cmath>

#include "coding/major_allele.h"
#include "driver/run_driver.h"
#include "fuzz_support.h"

using namespace snp;

namespace {

const RunConfig& tiny_config() {
  static const RunConfig cfg = fuzz::TinyData::write_all();
  return cfg;
}

void restore(int file) {
  fuzz::write_scratch(std::string("tiny/") + fuzz::TinyData::files[file], fuzz::TinyData::content(file));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const RunConfig& tiny = tiny_config();
  const int file = data[0] % 5;
  const std::string name = fuzz::TinyData::files[file];
  const std::string path = fuzz::write_scratch("tiny/" + name, fuzz::as_text(data + 1, size - 1));

  InputData d;
  AlleleStatistics stats;
  bool failed = false;
  try {
    d = read_input(input_files(tiny), fuzz::null_stream());
    stats = code_alleles(d.study, d.panel, d.study_map, d.alignment, fuzz::null_stream());
  } catch (const InputError& e) {
    FUZZ_CHECK(fuzz::contains(e.what(), path) || fuzz::contains(e.what(), "find error at reading population data"),
               std::string("message without the file: ") + e.what());
    failed = true;
  }
  restore(file);
  if (failed) return 0;

  const RunConfig& cfg = tiny;
  const std::vector<int>& mapped = d.alignment.reference_marker;
  FUZZ_CHECK(mapped.size() == static_cast<size_t>(cfg.typed_marker), "alignment of the wrong size");
  for (int k = 0; k < cfg.typed_marker; ++k)
    FUZZ_CHECK(mapped[static_cast<size_t>(k)] >= 0 && mapped[static_cast<size_t>(k)] < cfg.population_marker,
               "study marker mapped outside the panel");
  FUZZ_CHECK(d.alignment.typed_markers.size() <= static_cast<size_t>(cfg.typed_marker), "typed-marker list too long");
  for (int j = 0; j < cfg.population_marker; ++j) {
    for (int s = 0; s < cfg.typed_sample; ++s) {
      const int code = d.study.codes(s, j);
      FUZZ_CHECK(code >= -1 && code <= 2, "study code " + std::to_string(code));
    }
    for (int h = 0; h < cfg.population_sample; ++h) {
      const int code = d.panel.haplotypes(h, j);
      FUZZ_CHECK(code >= -1 && code <= 1, "panel code " + std::to_string(code));
    }
    for (size_t g = 0; g < 2; ++g) {
      const double f = stats.frequencies[static_cast<size_t>(j)][g];
      FUZZ_CHECK(f >= 0 && f <= 1, "study allele frequency " + std::to_string(f));
    }
    const double p = stats.hardy_weinberg[static_cast<size_t>(j)];
    FUZZ_CHECK(p >= 0 && p <= 1, "Hardy-Weinberg p-value " + std::to_string(p));
    const double r = stats.correlation[static_cast<size_t>(j)];
    FUZZ_CHECK(r >= 0 && r <= 1 + 1e-9, "correlation " + std::to_string(r));
  }
  return 0;
}
