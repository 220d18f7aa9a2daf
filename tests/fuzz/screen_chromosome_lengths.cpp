// The chromosome-length file "Chromosome_SNP_Length.txt" as snp-screen (and
// the association library) read it through MarkerNaming: the input is the
// file; markers around every chromosome boundary, and one from the first
// bytes, are given their chromosome and locus and then their SNP name from
// name files of three SNPs per chromosome. A marker inside the counted
// total lies on a chromosome at a locus no larger than the file's count for
// it, consecutive markers never go back, and a marker outside is an error
// naming the file.
#include <array>
#include <climits>
#include <filesystem>
#include <sstream>

#include "analysis/marker_naming.h"
#include "fuzz_support.h"
#include "base/errors.h"

using namespace snp;

namespace {

constexpr int kNamesPerFile = 3;

const std::string& names_dir() {
  static const std::string dir = [] {
    const std::string d = fuzz::scratch_dir() + "/names/";
    std::filesystem::create_directories(d + "cc555k_map");
    for (int c = 1; c <= MarkerNaming::kChromosomes; ++c) {
      std::string text;
      for (int k = 1; k <= kNamesPerFile; ++k)
        text += std::to_string(c) + " " + std::to_string(k) + " rs" + std::to_string(c) + "_" + std::to_string(k) +
                "\n";
      fuzz::write_scratch("names/cc555k_map/cc555k_chr" + std::to_string(c) + ".snps", text);
    }
    return d;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  const std::string& dir = names_dir();
  const std::string path = fuzz::write_scratch("names/Chromosome_SNP_Length.txt", text);

  // The counts as a stream reads them; nullopt-like when one is missing.
  std::array<long, MarkerNaming::kChromosomes + 1> counts{};
  bool readable = true;
  {
    std::istringstream in{std::string(text)};
    for (int c = 1; c <= MarkerNaming::kChromosomes && readable; ++c) {
      int value = 0;
      readable = static_cast<bool>(in >> value) && value >= 0;
      counts[static_cast<size_t>(c)] = value;
    }
  }
  long total = 0;
  for (int c = 1; c <= MarkerNaming::kChromosomes; ++c) total += counts[static_cast<size_t>(c)];

  MarkerNaming naming;
  naming.Datapath = dir;
  std::vector<long> markers = {-1, 0, 1, data[0], static_cast<long>(size) * 7919};
  for (long before = 0, c = 1; c <= MarkerNaming::kChromosomes; ++c) {
    before += counts[static_cast<size_t>(c)];
    for (long d = -2; d <= 2; ++d) markers.push_back(before + d);
  }
  std::array<bool, MarkerNaming::kChromosomes + 1> unnamed{};
  int last_chromosome = 0, last_locus = 0;
  long last_marker = -1;
  for (const long marker : markers) {
    if (marker < INT_MIN || marker > INT_MAX) continue;
    int chromosome = 0, locus = 0;
    try {
      naming.return_chromosome_and_locus(static_cast<int>(marker), &chromosome, &locus);
    } catch (const InputError& e) {
      FUZZ_CHECK(fuzz::contains(e.what(), path), std::string("message without the file: ") + e.what());
      FUZZ_CHECK(!readable || marker < 0 || marker >= total - 2, "marker " + std::to_string(marker) + " of " +
                                                                      std::to_string(total) + " not found");
      continue;
    }
    FUZZ_CHECK(readable, "counts accepted from a file without 26 of them");
    FUZZ_CHECK(chromosome >= 1 && chromosome <= MarkerNaming::kChromosomes, "chromosome out of range");
    FUZZ_CHECK(locus >= 1 && locus <= counts[static_cast<size_t>(chromosome)],
               "marker " + std::to_string(marker) + ": locus " + std::to_string(locus) + " beyond the " +
                   std::to_string(counts[static_cast<size_t>(chromosome)]) + " markers of chromosome " +
                   std::to_string(chromosome));
    if (marker > last_marker && last_chromosome > 0)
      FUZZ_CHECK(chromosome > last_chromosome || (chromosome == last_chromosome && locus > last_locus),
                 "a later marker maps before an earlier one");
    last_chromosome = chromosome;
    last_locus = locus;
    last_marker = marker;
    if (unnamed[static_cast<size_t>(chromosome)]) continue;  // its name file was rejected already
    try {
      const std::string& name = naming.findSNPname(chromosome, locus);
      FUZZ_CHECK(name == "rs" + std::to_string(chromosome) + "_" + std::to_string(locus), "wrong SNP name");
    } catch (const InputError& e) {
      FUZZ_CHECK(counts[static_cast<size_t>(chromosome)] > kNamesPerFile,
                 std::string("name file of enough lines rejected: ") + e.what());
      unnamed[static_cast<size_t>(chromosome)] = true;
    }
  }
  return 0;
}
