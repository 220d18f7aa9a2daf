// Genotypes as dosages of the counted allele (A1 of a .bed, ALT of a VCF):
// 0 to 2 per sample, NaN where missing. A PLINK fileset and the GT of a VCF
// give whole counts; a VCF's FORMAT/DS gives the imputed dosage.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "genotypes/genotypes.h"

namespace snp::association {

struct DosageBlock {
  size_t samples = 0;
  std::vector<genotypes::Marker> markers;
  std::vector<double> values;  // markers.size() * samples

  size_t size() const { return markers.size(); }
  std::span<const double> of(size_t m) const { return {values.data() + m * samples, samples}; }
};

class DosageSource {
 public:
  virtual ~DosageSource() = default;
  virtual const std::vector<genotypes::Sample>& samples() const = 0;
  virtual const std::string& path() const = 0;
  // Replaces the block by up to `limit` next markers; false at the end.
  // Throws InputError on a damaged record.
  virtual bool read(DosageBlock& block, size_t limit) = 0;
  virtual long skipped() const = 0;
  virtual std::string skipped_reasons() const = 0;
};

// Whole counts from a genotype reader (.bed, or a VCF's GT).
std::unique_ptr<DosageSource> counts_of(std::unique_ptr<genotypes::GenotypeReader> reader);

// FORMAT/DS of a VCF or BCF's biallelic records (DS of the ALT allele);
// records without DS take their GT. A DS outside 0..2 or missing leaves
// the sample's dosage missing. Throws InputError.
std::unique_ptr<DosageSource> open_vcf_dosages(const std::string& path);

}  // namespace snp::association
