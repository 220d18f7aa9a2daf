// VCF and BCF through htslib: GT of biallelic records as ALT counts.
#include <htslib/bgzf.h>
#include <htslib/hts.h>
#include <htslib/kseq.h>
#include <htslib/kstring.h>
#include <htslib/vcf.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <string_view>

#include "base/errors.h"
#include "genotypes/genotypes.h"

namespace snp::genotypes {
namespace {

InputError bad_vcf(const std::string& path, const std::string& what) {
  return InputError(InputProblem::malformed, "Error: " + path + ": " + what + "\n");
}

// Record problems htslib reports; an undeclared contig or tag is not one
// (htslib declares it and reads on).
constexpr int kRecordErrors =
    BCF_ERR_NCOLS | BCF_ERR_LIMITS | BCF_ERR_CHAR | BCF_ERR_CTG_INVALID | BCF_ERR_TAG_INVALID;

class VcfReader final : public GenotypeReader {
 public:
  explicit VcfReader(const std::string& path) {
    path_ = path;
    if (::access(path.c_str(), R_OK) != 0)
      throw InputError(InputProblem::cannot_open, "Error: cannot open " + path + " (" + std::strerror(errno) + ")\n");
    file_ = hts_open(path.c_str(), "r");
    if (!file_)
      throw InputError(InputProblem::cannot_open, "Error: cannot open " + path + " (htslib cannot open it)\n");
    if (hts_get_format(file_)->category != variant_data) throw bad_vcf(path, "not a VCF or BCF file");
    // A bgzipped file ends with an empty block; plain gzip has none and is
    // read whole.
    if (file_->is_bgzf && hts_get_format(file_)->compression == bgzf && bgzf_check_EOF(file_->fp.bgzf) == 0)
      throw bad_vcf(path, "truncated: the end-of-file block of its compression is missing");
    header_ = bcf_hdr_read(file_);
    if (!header_) {
      if (const auto name = repeated_vcf_sample(path))
        throw bad_vcf(path, "sample name \"" + *name + "\" appears twice in the header");
      throw bad_vcf(path, "not a VCF or BCF file (no readable header)");
    }
    const int id = bcf_hdr_id2int(header_, BCF_DT_ID, "GT");
    if (id < 0 || !bcf_hdr_idinfo_exists(header_, BCF_HL_FMT, id)) throw bad_vcf(path, "no GT field in the header");
    const int count = bcf_hdr_nsamples(header_);
    if (count == 0) throw bad_vcf(path, "no sample columns");
    for (int s = 0; s < count; ++s) {
      const std::string name = header_->samples[s];
      samples_.push_back(Sample{name, name, 0, ""});
    }
    record_ = bcf_init();
  }
  VcfReader(const VcfReader&) = delete;
  VcfReader& operator=(const VcfReader&) = delete;

  bool read_block(MarkerBlock& block, size_t limit, const MarkerFilter& wanted) override {
    block.clear();
    block.samples = samples_.size();
    Marker marker;
    while (block.size() < limit && next_record(marker)) {
      if (wanted && !wanted(marker)) continue;
      const size_t at = block.codes.size();
      block.codes.resize(at + samples_.size());
      decode(block.codes.data() + at);
      block.markers.push_back(marker);
      block.indices.push_back(markers_read_ - 1);
    }
    return block.size() > 0;
  }

  long skipped() const override { return not_biallelic_ + without_gt_; }
  std::string skipped_reasons() const override {
    return std::to_string(not_biallelic_) + " not biallelic, " + std::to_string(without_gt_) + " without GT";
  }

 private:
  // The next biallelic record with GT; false at the end of the file.
  bool next_record(Marker& marker) {
    for (;;) {
      const int status = bcf_read(file_, header_, record_);
      if (status == -1) return false;
      ++record_number_;
      if (status < -1 || (record_->errcode & kRecordErrors) != 0 || bcf_unpack(record_, BCF_UN_STR) != 0)
        throw bad_vcf(path_, "record " + std::to_string(record_number_) + " cannot be read");
      if (record_->n_allele != 2) {
        ++not_biallelic_;
        continue;
      }
      // htslib ends the process on GT values of another type; refuse them.
      const bcf_fmt_t* gt = bcf_get_fmt(header_, record_, "GT");
      if (gt && gt->type != BCF_BT_INT8 && gt->type != BCF_BT_INT16 && gt->type != BCF_BT_INT32)
        throw bad_vcf(path_, "record " + std::to_string(record_number_) + " cannot be read (GT values of no integer type)");
      values_ = gt ? bcf_get_genotypes(header_, record_, &gt_, &gt_capacity_) : 0;
      if (values_ <= 0) {
        ++without_gt_;
        continue;
      }
      marker.chromosome = bcf_seqname_safe(header_, record_);
      marker.position = static_cast<long>(record_->pos) + 1;
      const char* id = record_->d.id;
      marker.name = id && std::strcmp(id, ".") != 0 ? id : marker.chromosome + ":" + std::to_string(marker.position);
      marker.counted = record_->d.allele[1];
      marker.other = record_->d.allele[0];
      ++markers_read_;
      return true;
    }
  }

  void decode(std::int8_t* out) const {
    const size_t samples = samples_.size();
    const auto width = static_cast<size_t>(values_) / samples;
    const auto allele = [](std::int32_t v) {
      return v == bcf_int32_missing || v == bcf_int32_vector_end || bcf_gt_is_missing(v) ? -1 : bcf_gt_allele(v);
    };
    for (size_t s = 0; s < samples; ++s) {
      const std::int32_t* v = gt_ + s * width;
      // Diploid only: a third allele, or a second that is the vector's end,
      // makes the call missing.
      const bool diploid = width >= 2 && v[1] != bcf_int32_vector_end && (width == 2 || v[2] == bcf_int32_vector_end);
      const int first = allele(v[0]);
      const int second = diploid ? allele(v[1]) : -1;
      out[s] = diploid && first >= 0 && second >= 0 && first <= 1 && second <= 1 ? static_cast<std::int8_t>(first + second) : kMissingCode;
    }
  }

  // The htslib objects, released also when the constructor throws.
  struct Handles {
    htsFile* file = nullptr;
    bcf_hdr_t* header = nullptr;
    bcf1_t* record = nullptr;
    std::int32_t* gt = nullptr;
    int gt_capacity = 0;
    Handles() = default;
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;
    ~Handles() {
      std::free(gt);
      if (record) bcf_destroy(record);
      if (header) bcf_hdr_destroy(header);
      if (file) hts_close(file);
    }
  };
  Handles h_;
  htsFile*& file_ = h_.file;
  bcf_hdr_t*& header_ = h_.header;
  bcf1_t*& record_ = h_.record;
  std::int32_t*& gt_ = h_.gt;
  int& gt_capacity_ = h_.gt_capacity;
  int values_ = 0;
  long record_number_ = 0;
  long markers_read_ = 0;
  long not_biallelic_ = 0;
  long without_gt_ = 0;
};

}  // namespace

std::optional<std::string> repeated_vcf_sample(const std::string& path) {
  const std::unique_ptr<htsFile, decltype(&hts_close)> file(hts_open(path.c_str(), "r"), &hts_close);
  if (!file) return std::nullopt;
  kstring_t line = KS_INITIALIZE;
  std::optional<std::string> repeated;
  while (hts_getline(file.get(), KS_SEP_LINE, &line) >= 0 && line.s && line.s[0] == '#') {
    const std::string_view text(line.s, line.l);
    if (!text.starts_with("#CHROM")) continue;
    std::set<std::string_view> seen;
    size_t column = 0;
    for (size_t start = 0; start <= text.size() && !repeated; ++column) {
      const size_t end = std::min(text.find('\t', start), text.size());
      const std::string_view name = text.substr(start, end - start);
      if (column >= 9 && !seen.insert(name).second) repeated = std::string(name);
      start = end + 1;
    }
    break;
  }
  ks_free(&line);
  return repeated;
}

std::unique_ptr<GenotypeReader> open_vcf(const std::string& path) { return std::make_unique<VcfReader>(path); }

}  // namespace snp::genotypes
