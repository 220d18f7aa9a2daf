#include "association/dosages.h"

#include <htslib/hts.h>
#include <htslib/vcf.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "base/errors.h"

namespace snp::association {
namespace {

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();

class CountSource final : public DosageSource {
 public:
  explicit CountSource(std::unique_ptr<genotypes::GenotypeReader> reader) : reader_(std::move(reader)) {}
  const std::vector<genotypes::Sample>& samples() const override { return reader_->samples(); }
  const std::string& path() const override { return reader_->path(); }
  long skipped() const override { return reader_->skipped(); }
  std::string skipped_reasons() const override { return reader_->skipped_reasons(); }

  bool read(DosageBlock& block, size_t limit) override {
    if (!reader_->read_block(codes_, limit)) return false;
    block.samples = codes_.samples;
    block.markers = codes_.markers;
    block.values.resize(codes_.codes.size());
    for (size_t i = 0; i < codes_.codes.size(); ++i)
      block.values[i] = codes_.codes[i] == genotypes::kMissingCode ? kMissing : codes_.codes[i];
    return true;
  }

 private:
  std::unique_ptr<genotypes::GenotypeReader> reader_;
  genotypes::MarkerBlock codes_;
};

// Record problems htslib reports; an undeclared contig or tag is not one.
constexpr int kRecordErrors =
    BCF_ERR_NCOLS | BCF_ERR_LIMITS | BCF_ERR_CHAR | BCF_ERR_CTG_INVALID | BCF_ERR_TAG_INVALID;

InputError bad_vcf(const std::string& path, const std::string& what) {
  return InputError(InputProblem::malformed, "Error: " + path + ": " + what + "\n");
}

class VcfDosageSource final : public DosageSource {
 public:
  explicit VcfDosageSource(const std::string& path) : path_(path) {
    if (::access(path.c_str(), R_OK) != 0)
      throw InputError(InputProblem::cannot_open, "Error: cannot open " + path + " (" + std::strerror(errno) + ")\n");
    h_.file = hts_open(path.c_str(), "r");
    if (!h_.file) throw InputError(InputProblem::cannot_open, "Error: cannot open " + path + " (htslib cannot open it)\n");
    if (hts_get_format(h_.file)->category != variant_data) throw bad_vcf(path, "not a VCF or BCF file");
    h_.header = bcf_hdr_read(h_.file);
    if (!h_.header) throw bad_vcf(path, "not a VCF or BCF file (no readable header)");
    const int count = bcf_hdr_nsamples(h_.header);
    if (count == 0) throw bad_vcf(path, "no sample columns");
    for (int s = 0; s < count; ++s) samples_.push_back(genotypes::Sample{h_.header->samples[s], h_.header->samples[s], 0, ""});
    h_.record = bcf_init();
  }
  VcfDosageSource(const VcfDosageSource&) = delete;
  VcfDosageSource& operator=(const VcfDosageSource&) = delete;

  const std::vector<genotypes::Sample>& samples() const override { return samples_; }
  const std::string& path() const override { return path_; }
  long skipped() const override { return not_biallelic_ + without_genotypes_; }
  std::string skipped_reasons() const override {
    return std::to_string(not_biallelic_) + " not biallelic, " + std::to_string(without_genotypes_) +
           " without DS or GT";
  }

  bool read(DosageBlock& block, size_t limit) override {
    block.samples = samples_.size();
    block.markers.clear();
    block.values.clear();
    genotypes::Marker marker;
    while (block.size() < limit && next_record(marker)) {
      block.markers.push_back(marker);
      block.values.insert(block.values.end(), dosages_.begin(), dosages_.end());
    }
    return block.size() > 0;
  }

 private:
  bool next_record(genotypes::Marker& marker) {
    for (;;) {
      const int status = bcf_read(h_.file, h_.header, h_.record);
      if (status == -1) return false;
      ++record_number_;
      if (status < -1 || (h_.record->errcode & kRecordErrors) != 0 || bcf_unpack(h_.record, BCF_UN_ALL) != 0)
        throw bad_vcf(path_, "record " + std::to_string(record_number_) + " cannot be read");
      if (h_.record->n_allele != 2) {
        ++not_biallelic_;
        continue;
      }
      if (!decode_ds() && !decode_gt()) {
        ++without_genotypes_;
        continue;
      }
      marker.chromosome = bcf_seqname_safe(h_.header, h_.record);
      marker.position = static_cast<long>(h_.record->pos) + 1;
      const char* id = h_.record->d.id;
      marker.name = id && std::strcmp(id, ".") != 0 ? id : marker.chromosome + ":" + std::to_string(marker.position);
      marker.counted = h_.record->d.allele[1];
      marker.other = h_.record->d.allele[0];
      return true;
    }
  }

  bool decode_ds() {
    const bcf_fmt_t* ds = bcf_get_fmt(h_.header, h_.record, "DS");
    if (!ds || ds->type != BCF_BT_FLOAT) return false;
    const int values = bcf_get_format_float(h_.header, h_.record, "DS", &h_.ds, &h_.ds_capacity);
    if (values <= 0) return false;
    const size_t width = static_cast<size_t>(values) / samples_.size();
    dosages_.resize(samples_.size());
    for (size_t s = 0; s < samples_.size(); ++s) {
      const float v = h_.ds[s * width];
      const bool usable = !bcf_float_is_missing(v) && !bcf_float_is_vector_end(v) && v >= 0 && v <= 2;
      dosages_[s] = usable ? static_cast<double>(v) : kMissing;
    }
    return true;
  }

  bool decode_gt() {
    const bcf_fmt_t* gt = bcf_get_fmt(h_.header, h_.record, "GT");
    if (!gt || (gt->type != BCF_BT_INT8 && gt->type != BCF_BT_INT16 && gt->type != BCF_BT_INT32)) return false;
    const int values = bcf_get_genotypes(h_.header, h_.record, &h_.gt, &h_.gt_capacity);
    if (values <= 0) return false;
    const size_t width = static_cast<size_t>(values) / samples_.size();
    dosages_.resize(samples_.size());
    for (size_t s = 0; s < samples_.size(); ++s) {
      const std::int32_t* v = h_.gt + s * width;
      const bool diploid = width >= 2 && v[1] != bcf_int32_vector_end;
      double count = 0;
      for (size_t a = 0; a < 2 && diploid; ++a) {
        if (v[a] == bcf_int32_vector_end || bcf_gt_is_missing(v[a]) || bcf_gt_allele(v[a]) > 1) count = kMissing;
        else count += bcf_gt_allele(v[a]);
      }
      dosages_[s] = diploid ? count : kMissing;
    }
    return true;
  }

  struct Handles {
    htsFile* file = nullptr;
    bcf_hdr_t* header = nullptr;
    bcf1_t* record = nullptr;
    float* ds = nullptr;
    int ds_capacity = 0;
    std::int32_t* gt = nullptr;
    int gt_capacity = 0;
    Handles() = default;
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;
    ~Handles() {
      std::free(ds);
      std::free(gt);
      if (record) bcf_destroy(record);
      if (header) bcf_hdr_destroy(header);
      if (file) hts_close(file);
    }
  };
  std::string path_;
  Handles h_;
  std::vector<genotypes::Sample> samples_;
  std::vector<double> dosages_;
  long record_number_ = 0;
  long not_biallelic_ = 0;
  long without_genotypes_ = 0;
};

}  // namespace

std::unique_ptr<DosageSource> counts_of(std::unique_ptr<genotypes::GenotypeReader> reader) {
  return std::make_unique<CountSource>(std::move(reader));
}

std::unique_ptr<DosageSource> open_vcf_dosages(const std::string& path) {
  return std::make_unique<VcfDosageSource>(path);
}

}  // namespace snp::association
