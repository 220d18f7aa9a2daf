// Walks the records of one chromosome of a VCF and hands on its biallelic
// SNPs, counting every record it skips by reason.
#pragma once

#include <array>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "convert/vcf_reader.h"

namespace snp::convert {

enum class SkipReason {
  other_chromosome,
  no_alt_allele,
  multi_allelic,
  not_snp,
  no_genotypes,
  unphased,
  not_diploid,
  duplicate_position,
};
inline constexpr size_t kSkipReasons = 8;

struct ScanSummary {
  std::string chromosome;  // the chromosome whose SNPs were handed on
  long records = 0;        // records read, all chromosomes
  long kept = 0;
  std::array<long, kSkipReasons> skipped{};

  long skipped_total() const;
  long& operator[](SkipReason reason) { return skipped[static_cast<size_t>(reason)]; }
  long operator[](SkipReason reason) const { return skipped[static_cast<size_t>(reason)]; }
};

// Why a record is not a usable biallelic SNP (ALT "." or missing, several
// ALTs, alleles other than one base A/C/G/T each, REF equal to ALT, no GT);
// nullopt when it is one.
std::optional<SkipReason> site_problem(const VariantRecord& record);

// Why a record's genotypes cannot give two haplotypes per sample: a sample
// with other than two alleles (unless all are missing), or a heterozygous or
// half-missing genotype written unphased. Homozygous "0/0" and "1/1" and
// missing "./." carry no phase and are accepted.
std::optional<SkipReason> haplotype_problem(const VariantRecord& record);

// The marker's name: the first entry of the ID column, or chrom:pos when
// the ID is ".".
std::string marker_name(const VariantRecord& record);

// Upper-case base of a single-base allele.
char allele_letter(const std::string& allele);

struct ScanOptions {
  std::optional<std::string> chromosome;  // required when the file holds several
  bool need_haplotypes = false;           // apply haplotype_problem
};

// Reads every record and calls `keep` for each usable SNP of the chosen
// chromosome, in file order. Throws InputError when records of a second
// chromosome appear without a chosen one, when the chosen chromosome is
// absent, when positions go backwards, or when no SNP is usable.
ScanSummary scan_snps(VcfReader& reader, const ScanOptions& options,
                      const std::function<void(const VariantRecord&)>& keep);

// "Skipped 3 of 10 records of FILE:" and one line per non-zero reason;
// nothing when no record was skipped.
void report_skipped(const ScanSummary& summary, const std::string& path, std::ostream& out);

}  // namespace snp::convert
