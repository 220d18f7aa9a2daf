// Optional VCF output of the imputed markers, in the format its name asks
// for: ".vcf.gz" bgzipped with a tabix index, ".bcf" with a CSI index,
// ".vcf" plain text. REF and ALT are the reference map's letters (ALT is the
// allele coded 1). Per individual GT (the result file's code), DS (ALT
// dosage) and GP: the engine's probabilities, or certainty for an observed
// genotype. Per marker AF (mean DS over two), R2 (estimated squared
// correlation of DS with the true genotype) and the flag TYPED or IMP.
// Markers whose letters are not two different bases are left out and
// counted. The VCF and its index are written under temporary names and take
// their final names together at close(); until then a previous pair stays.
#pragma once

#include <array>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "impute/engine.h"
#include "impute/vcf_layout.h"
#include "input/reference_panel.h"
#include "input/study_reader.h"

namespace snp {

enum class VcfFormat { plain, bgzipped, bcf };

// The format a file name asks for; nullopt for any other name.
std::optional<VcfFormat> vcf_format_for(const std::string& path);
// The index written beside a VCF of that name; empty for plain text.
std::string vcf_index_path(const std::string& path);

class VcfWriter {
 public:
  // Creates the file and writes the header; throws FatalError on failure.
  // The count of left-out markers goes to `warnings`. The path must name
  // a format (vcf_format_for). More than one thread compresses the blocks
  // of a bgzipped VCF or a BCF in parallel, into the same bytes.
  VcfWriter(const std::string& path, const VcfLayout& layout, const ReferencePanel& panel,
            const StudyGenotypes& study, std::ostream& warnings, int threads = 1);
  // Removes the temporary files unless close() gave them their names.
  ~VcfWriter();
  VcfWriter(const VcfWriter&) = delete;
  VcfWriter& operator=(const VcfWriter&) = delete;

  // Writes marker t; throws FatalError when positions do not ascend.
  void write(int t, const std::vector<GenotypeCall>& calls);
  // Closes the file, builds its index and renames both to their final
  // names; throws FatalError on failure.
  void close();

 private:
  struct Handles;
  std::string path_;
  VcfFormat format_;
  std::string temporary_;
  std::string index_temporary_;
  std::vector<int> sample_rows_;
  const ReferencePanel& panel_;
  const StudyGenotypes& study_;
  std::ostream& warnings_;
  std::unique_ptr<Handles> handles_;
  long last_position_ = 0;
  long skipped_ = 0;
  bool committed_ = false;
};

// Estimated squared correlation between the dosages and the true genotypes,
// from each individual's genotype probabilities: the variance of the
// dosages over the expected genotype variance under the probabilities.
// 1 when every genotype is certain, 0 when it cannot be estimated (no
// individuals, or no variance expected); always within [0, 1].
double dosage_r2(const std::vector<std::array<double, 3>>& probabilities);

// R2 of a marker where no genotype was observed: 0 when the dosages as
// written (DS, single precision) do not vary, for they then carry no
// information whatever their certainty (an allele absent from the panel);
// else dosage_r2.
double imputed_r2(const std::vector<std::array<double, 3>>& probabilities);

}  // namespace snp
