// The coefficient file of the model fit, read, written and read again.
#include "analysis/fit/csm_lars.h"
#include "analysis/fit/lars.h"
#include "harness.h"

SNP_FUZZ(input) {
  // The fit writes this file just before reading it, with the column count
  // of a design it already holds in memory; counts of millions (as much
  // memory) are left out.
  const std::string_view head = input.text().substr(0, 64);
  const size_t start = head.find_first_not_of(" \t\r\n");
  if (start != std::string_view::npos && head.find_first_of(" \t\r\n", start) - start > 6) return;
  const snp::BetaFile beta = snp::read_beta_file(input.file("beta.txt"), snp::fuzz::null_stream());
  const std::string again = snp::fuzz::scratch_dir() + "/beta-again.txt";
  snp::write_beta_file(again, beta.beta, beta.scale);
  snp::read_beta_file(again, snp::fuzz::null_stream());
}
