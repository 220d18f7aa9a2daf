// Names of markers: a global marker number maps to a chromosome and a
// position on it through the per-chromosome marker counts, and a position
// to its SNP name through the chromosome's SNP file. Both tables are read
// once and kept.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace snp {

class MarkerNaming {
 public:
  static constexpr int kChromosomes = 26;

  // Directory of "Chromosome_SNP_Length.txt" and of the SNP name files.
  std::string Datapath = "/home/kestrune/Study_workdir/Data/";
  // Separator between the map directory and the per-chromosome files.
  std::string forder = "/";

  // Returns the chromosome of global marker `marker` (0-based) and stores it
  // and the 1-based locus on it.
  int return_chromosome_and_locus(int marker, int* chromosome, int* locus);
  // SNP name at `locus` (1-based) of `chromosome`.
  const std::string& findSNPname(int chromosome, int locus);

  std::string length_file() const { return Datapath + "Chromosome_SNP_Length.txt"; }
  std::string name_file(int chromosome) const;

 private:
  void load_lengths();
  const std::vector<std::string>& names_of(int chromosome);

  // Marker counts of chromosomes 1..26 as read, and as used for positions
  // (chromosomes 10 and 11 one lower).
  std::optional<std::array<int, kChromosomes + 1>> file_counts_;
  std::array<int, kChromosomes + 1> counts_{};
  std::map<int, std::vector<std::string>> all_SNP_name;
};

}  // namespace snp
