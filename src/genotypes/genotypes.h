// Genotypes of case/control studies as users hold them: PLINK 1 binary
// filesets, VCF/BCF files and the imputation program's result file. Every
// reader hands out markers (chromosome, name, position, counted and other
// allele) with one code per sample: 0, 1 or 2 copies of the counted allele,
// kMissingCode when the call is missing.
//
// Whole chromosomes stream through read_block (or for_each_marker) without
// being held in memory; the readers go forward only, once; read_table keeps a table, of all markers or of the
// named ones.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

namespace snp::genotypes {

inline constexpr std::int8_t kMissingCode = -1;

struct Marker {
  std::string chromosome;
  std::string name;
  long position = 0;
  std::string counted;  // A1: the allele whose copies the codes count
  std::string other;    // A2
};

struct Sample {
  std::string family;     // FID (the IID again where the input has none)
  std::string id;         // IID
  int sex = 0;            // 1 male, 2 female, 0 unknown
  std::string phenotype;  // the .fam's sixth field as written; empty elsewhere
};

// Consecutive markers of one input, codes marker by marker.
struct MarkerBlock {
  size_t samples = 0;
  std::vector<Marker> markers;
  std::vector<long> indices;        // 0-based position of each marker among the input's markers
  std::vector<std::int8_t> codes;   // markers.size() * samples

  size_t size() const { return markers.size(); }
  std::span<const std::int8_t> codes_of(size_t m) const { return {codes.data() + m * samples, samples}; }
  void clear() {
    markers.clear();
    indices.clear();
    codes.clear();
  }
};

// Codes 0, 1, 2 and missing (entry 3) of one marker, counted in two groups
// of samples.
struct GroupCounts {
  std::array<std::array<int, 4>, 2> group{};
};

// Markers to keep; an empty function keeps all.
using MarkerFilter = std::function<bool(const Marker&)>;

class GenotypeReader {
 public:
  virtual ~GenotypeReader() = default;
  const std::string& path() const { return path_; }
  const std::vector<Sample>& samples() const { return samples_; }
  // Replaces the block's markers by up to `limit` next markers that `wanted`
  // keeps (all when empty); false when the input held no more. Throws
  // InputError on a damaged record, naming the file and the line or record.
  virtual bool read_block(MarkerBlock& block, size_t limit, const MarkerFilter& wanted = {}) = 0;
  // As read_block without a filter, but hands back per marker the counts of
  // the samples in group 0 and in group 1 (`groups` holds one entry per
  // sample; other values leave a sample out) in place of the codes, which
  // stay empty. The .bed reader counts its packed records directly.
  virtual bool count_block(MarkerBlock& block, std::vector<GroupCounts>& counts, size_t limit,
                           std::span<const std::uint8_t> groups);
  // Markers of the input when known before reading (the .bim's), else -1.
  virtual long marker_count() const { return -1; }
  // Input records passed over, and why (VCF: not biallelic, no GT); zero
  // for the other inputs.
  virtual long skipped() const { return 0; }
  virtual std::string skipped_reasons() const { return {}; }

 protected:
  std::string path_;
  std::vector<Sample> samples_;
};

// PLINK 1 binary fileset PREFIX.bed/.bim/.fam in SNP-major mode. The .bim
// gives CHR, SNP, BP, A1 (counted) and A2; the .fam FID, IID, sex and
// phenotype. Opening checks the .bed's magic bytes and that its size is
// that of the .bim's markers by the .fam's samples. Throws InputError.
std::unique_ptr<GenotypeReader> open_bed(const std::string& prefix);

// VCF, bgzipped VCF or BCF through htslib. Only GT is read; records with
// other than one ALT allele or without GT are skipped and counted. Codes
// count ALT (A1 = ALT, A2 = REF); a missing allele or other than two
// alleles gives kMissingCode. The name is the ID, or CHROM:POS when the ID
// is ".". Samples take their VCF names as FID and IID. Throws InputError.
std::unique_ptr<GenotypeReader> open_vcf(const std::string& path);

// The first sample name that the "#CHROM" line of a (possibly compressed)
// VCF repeats, which htslib refuses with the whole header.
std::optional<std::string> repeated_vcf_sample(const std::string& path);

// The imputation program's result file: one line per marker,
// "N<TAB>NAME POSITION L1 L2 " and one code per individual (-1, 0, 1, 2),
// each followed by a blank, `samples` of them (cases first, then controls).
// Codes count L2 (A1 = L2, A2 = L1); the file holds no chromosome, so every
// marker takes `chromosome`. Samples are named 1, 2, ... Throws InputError.
std::unique_ptr<GenotypeReader> open_imputed(const std::string& path, int samples, const std::string& chromosome);

// Counts of the codes per group (0 or 1; other values leave a sample out).
GroupCounts count_groups(std::span<const std::int8_t> codes, std::span<const std::uint8_t> groups);

// Calls `each` for every marker the reader has left, in blocks of
// `block_size`, with its 0-based index and codes.
void for_each_marker(GenotypeReader& reader,
                     const std::function<void(long index, const Marker&, std::span<const std::int8_t> codes)>& each,
                     size_t block_size = 4096);

// Markers with their codes, held whole.
struct GenotypeTable {
  std::vector<Sample> samples;
  MarkerBlock block;
  std::vector<std::string> not_found;  // names asked for that the input lacks, in the order asked
};

// Reads every remaining marker, or only those whose name is in `names`
// (each name kept once, in input order; the absent ones are listed).
GenotypeTable read_table(GenotypeReader& reader);
GenotypeTable read_table(GenotypeReader& reader, const std::vector<std::string>& names);

}  // namespace snp::genotypes
