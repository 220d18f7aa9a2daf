// Optional VCF output of the imputed markers: bgzipped, with a tabix index.
// REF and ALT are the reference map's letters (ALT is the allele coded 1).
// Per individual GT (the result file's code), DS (ALT dosage) and GP: the
// engine's probabilities, or certainty for an observed genotype. Per marker
// AF (mean DS over two), R2 (allelic r-squared of the engine's dosages, the
// imputation quality) and TYPED when the study typed the marker. Markers
// whose letters are not two different bases are left out and counted.
// The VCF and its index are written under temporary names and take their
// final names together at close(); until then a previous pair stays.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "impute/engine.h"
#include "input/reference_panel.h"
#include "input/study_reader.h"

namespace snp {

class VcfWriter {
 public:
  // Creates the file and writes the header; throws FatalError on failure.
  // The count of left-out markers goes to `warnings`.
  VcfWriter(const std::string& path, int chromosome, const ReferencePanel& panel, const StudyGenotypes& study,
            std::ostream& warnings);
  // Removes the temporary files unless close() gave them their names.
  ~VcfWriter();
  VcfWriter(const VcfWriter&) = delete;
  VcfWriter& operator=(const VcfWriter&) = delete;

  // Writes marker t; throws FatalError when positions do not ascend.
  void write(int t, const std::vector<GenotypeCall>& calls);
  // Closes the file, builds its tabix index and renames both to their
  // final names; throws FatalError on failure.
  void close();

 private:
  struct Handles;
  std::string path_;
  std::string temporary_;
  std::string index_temporary_;
  const ReferencePanel& panel_;
  const StudyGenotypes& study_;
  std::ostream& warnings_;
  std::unique_ptr<Handles> handles_;
  long last_position_ = 0;
  long skipped_ = 0;
  bool committed_ = false;
};

// Allelic r-squared of dosages: their variance over the expected binomial
// variance 2 f (1 - f), f the mean dosage over two; NaN when f is 0 or 1 or
// there are no dosages.
double allelic_r2(const std::vector<double>& dosages);

}  // namespace snp
