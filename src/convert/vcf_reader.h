// Reads VCF and BCF files (plain, bgzipped or binary) through htslib into
// plain records that the converters inspect.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace snp::convert {

inline constexpr int kMissingAllele = -1;

// One sample's GT value.
struct Genotype {
  int ploidy = 0;                 // alleles written, missing ones included
  int first = kMissingAllele;     // allele index (0 = REF), or kMissingAllele
  int second = kMissingAllele;
  bool phased = false;            // "|" between the first and second allele

  bool all_missing() const { return first == kMissingAllele && (ploidy < 2 || second == kMissingAllele); }
};

struct VariantRecord {
  std::string chrom;
  long position = 0;                  // 1-based
  std::string id;                     // "." when absent
  std::vector<std::string> alleles;   // REF, then the ALT alleles
  bool has_genotypes = false;         // false when the record carries no GT
  std::vector<Genotype> genotypes;    // one per sample
};

class VcfReader {
 public:
  // Opens the file and reads its header; throws InputError when the file
  // cannot be opened, has no header, no samples or no GT field.
  explicit VcfReader(const std::string& path);
  ~VcfReader();
  VcfReader(const VcfReader&) = delete;
  VcfReader& operator=(const VcfReader&) = delete;

  const std::string& path() const { return path_; }
  const std::vector<std::string>& samples() const { return samples_; }
  // Reads the next record into `record`; false at the end of the file.
  // Throws InputError on a record htslib cannot parse.
  bool next(VariantRecord& record);
  // 1-based number of the record read last.
  long record_number() const { return record_number_; }

 private:
  struct Handles;
  std::string path_;
  std::unique_ptr<Handles> handles_;
  std::vector<std::string> samples_;
  long record_number_ = 0;
};

}  // namespace snp::convert
