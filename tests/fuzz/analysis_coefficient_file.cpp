// The model fit's coefficient file: read_beta_file on a file of the input. What it
// accepts is checked against a plain reading of the format (the column
// count, the coefficient count, then that many non-blank lines
// "beta[ column ]= coefficient scale" with the column below the count and a
// positive scale), and against what write_beta_file makes of it.
#include <cstdlib>
#include <string>

#include "analysis/csm_lars.h"
#include "analysis/lars.h"
#include "fuzz_support.h"
#include "base/errors.h"

using namespace snp;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  // read_beta_file sizes its arrays by the column count before reading on, so a
  // count of millions costs that much memory: the fit writes the file just
  // before it is read, with the column count of the design it has already
  // held in memory. Larger counts are left out here.
  if (const auto words = fuzz::words_of(text.substr(0, 64)); !words.empty() && words[0].size() > 6) return 0;
  const std::string path = fuzz::write_scratch("beta.txt", text);
  BetaFile beta;
  try {
    beta = read_beta_file(path, fuzz::null_stream());
  } catch (const InputError& e) {
    FUZZ_CHECK(fuzz::contains(e.what(), path), std::string("message without the file: ") + e.what());
    return 0;
  }
  FUZZ_CHECK(beta.columns >= 0 && beta.count >= 0, "negative counts accepted");
  FUZZ_CHECK(beta.beta.size() == static_cast<size_t>(beta.columns) &&
                 beta.scale.size() == static_cast<size_t>(beta.columns),
             "arrays of another size than the column count");
  // The counts are the first two words.
  const std::vector<std::string_view> words = fuzz::words_of(text);
  FUZZ_CHECK(words.size() >= 2 && std::strtol(std::string(words[0]).c_str(), nullptr, 10) == beta.columns,
             "column count read differently from the text");
  size_t listed = 0;
  for (size_t j = 0; j < beta.beta.size(); ++j) {
    if (beta.scale[j] != 0.0) {
      ++listed;
      FUZZ_CHECK(beta.scale[j] > 0.0, "non-positive scale accepted");
    }
  }
  FUZZ_CHECK(listed <= static_cast<size_t>(beta.count), "more coefficients than the file lists");

  // Written and read again: the nonzero coefficients come back.
  const std::string again = fuzz::scratch_dir() + "/beta-again.txt";
  write_beta_file(again, beta.beta, beta.scale);
  const BetaFile back = read_beta_file(again, fuzz::null_stream());
  FUZZ_CHECK(back.columns == beta.columns, "column count changes when written again");
  for (size_t j = 0; j < beta.beta.size(); ++j)
    FUZZ_CHECK((back.beta[j] != 0.0) == (beta.beta[j] != 0.0), "coefficient " + std::to_string(j) + " lost");
  return 0;
}
