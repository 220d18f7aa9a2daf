#include "genotypes/marker_naming.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "base/errors.h"

namespace snp {
namespace {

// Positions on chromosomes 10 and 11 skip one marker beyond these.
constexpr int kChromosome10Gap = 19595;
constexpr int kChromosome11Gap = 17282;
// Fields of a SNP file line; the name is the third.
constexpr int kNameField = 2;

}  // namespace

std::string MarkerNaming::name_file(int chromosome) const {
  return Datapath + "cc555k_map" + forder + "cc555k_chr" + std::to_string(chromosome) + ".snps";
}

void MarkerNaming::load_lengths() {
  const std::string path = length_file();
  std::ifstream in(path);
  if (!in)
    throw InputError(InputProblem::cannot_open, "open file " + path + " have some error\n", Channel::standard_output);
  std::array<int, kChromosomes + 1> counts{};
  for (int c = 1; c <= kChromosomes; ++c) {
    if (!(in >> counts[static_cast<size_t>(c)]) || counts[static_cast<size_t>(c)] < 0)
      throw inconsistent_file(path, "expected 26 marker counts (chromosomes 1 to 26), value " + std::to_string(c) +
                                        " is missing or not a count");
  }
  file_counts_ = counts;
  counts_ = counts;
  counts_[10] -= 1;
  counts_[11] -= 1;
}

int MarkerNaming::return_chromosome_and_locus(int marker, int* chromosome, int* locus) {
  if (!file_counts_) load_lengths();
  long before = 0;
  for (int c = 1; c <= kChromosomes; ++c) {
    const long through = before + counts_[static_cast<size_t>(c)];
    if (through > marker && marker >= 0) {
      long position = marker - before;
      if ((c == 10 && position > kChromosome10Gap) || (c == 11 && position > kChromosome11Gap)) ++position;
      *chromosome = c;
      *locus = static_cast<int>(position) + 1;
      return c;
    }
    before = through;
  }
  throw inconsistent_file(length_file(), "marker " + std::to_string(marker) + " lies outside the " +
                                             std::to_string(before) + " markers counted there");
}

const std::vector<std::string>& MarkerNaming::names_of(int chromosome) {
  if (const auto found = all_SNP_name.find(chromosome); found != all_SNP_name.end()) return found->second;
  if (!file_counts_) load_lengths();
  if (chromosome < 1 || chromosome > kChromosomes)
    throw inconsistent_file(length_file(), "no marker count for chromosome " + std::to_string(chromosome));
  const std::string path = name_file(chromosome);
  std::ifstream in(path);
  if (!in) throw InputError(InputProblem::cannot_open, "find error open " + path + "\n", Channel::standard_output);
  const int wanted = (*file_counts_)[static_cast<size_t>(chromosome)];
  std::vector<std::string> names;
  // The count comes from the length file, where damage can make it huge.
  names.reserve(static_cast<size_t>(std::min(wanted, 1 << 12)));
  std::string line;
  long line_number = 0;
  while (static_cast<int>(names.size()) < wanted && std::getline(in, line)) {
    ++line_number;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    std::istringstream fields(line);
    std::string field;
    for (int f = 0; f <= kNameField; ++f) {
      if (!(fields >> field))
        throw malformed_line(path, line_number, "expected the SNP name as the third field");
    }
    names.push_back(field);
  }
  if (static_cast<int>(names.size()) < wanted)
    throw inconsistent_file(path, "expected " + std::to_string(wanted) + " SNP lines (from " + length_file() +
                                      "), found " + std::to_string(names.size()));
  return all_SNP_name.emplace(chromosome, std::move(names)).first->second;
}

const std::string& MarkerNaming::findSNPname(int chromosome, int locus) {
  const auto& names = names_of(chromosome);
  if (locus < 1 || locus > static_cast<int>(names.size()))
    throw inconsistent_file(name_file(chromosome), "no SNP at locus " + std::to_string(locus) + " (the file names " +
                                                       std::to_string(names.size()) + ")");
  return names[static_cast<size_t>(locus - 1)];
}

}  // namespace snp
