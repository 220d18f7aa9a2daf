#include "convert/vcf_reader.h"

#include <htslib/bgzf.h>
#include <htslib/hts.h>
#include <htslib/kseq.h>
#include <htslib/kstring.h>
#include <htslib/vcf.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <string_view>

#include "base/text_source.h"
#include "base/errors.h"
#include "genotypes/genotypes.h"

namespace snp::convert {

struct VcfReader::Handles {
  htsFile* file = nullptr;
  bcf_hdr_t* header = nullptr;
  bcf1_t* record = nullptr;
  int32_t* gt = nullptr;  // htslib-owned buffer, grown by bcf_get_genotypes
  int gt_capacity = 0;

  ~Handles() {
    std::free(gt);
    if (record) bcf_destroy(record);
    if (header) bcf_hdr_destroy(header);
    if (file) hts_close(file);
  }
};

namespace {

InputError bad_file(const std::string& path, const std::string& what) {
  return InputError(InputProblem::malformed, "Error: " + path + ": " + what + "\n");
}

InputError cannot_open(const std::string& path, const std::string& reason) {
  return InputError(InputProblem::cannot_open, "Error: cannot open " + path + " (" + reason + ")\n");
}

bool header_has_gt(const bcf_hdr_t* header) {
  const int id = bcf_hdr_id2int(header, BCF_DT_ID, "GT");
  return id >= 0 && bcf_hdr_idinfo_exists(header, BCF_HL_FMT, id);
}

// Record problems htslib reports; an undeclared contig or tag is not one
// (htslib declares it and reads on).
constexpr int kRecordErrors = BCF_ERR_NCOLS | BCF_ERR_LIMITS | BCF_ERR_CHAR | BCF_ERR_CTG_INVALID | BCF_ERR_TAG_INVALID;

int allele_index(int32_t value) {
  return value == bcf_int32_missing || bcf_gt_is_missing(value) ? kMissingAllele : bcf_gt_allele(value);
}

// One sample's GT from its `width` htslib values.
Genotype decode_genotype(const int32_t* values, int width) {
  Genotype g;
  while (g.ploidy < width && values[g.ploidy] != bcf_int32_vector_end) ++g.ploidy;
  if (g.ploidy >= 1) g.first = allele_index(values[0]);
  if (g.ploidy >= 2) {
    g.second = allele_index(values[1]);
    g.phased = bcf_gt_is_phased(values[1]);
  }
  return g;
}

}  // namespace

VcfReader::VcfReader(const std::string& path) : path_(path), handles_(std::make_unique<Handles>()) {
  // Checked first so that the message names the cause once.
  if (::access(path.c_str(), R_OK) != 0) throw cannot_open(path, std::strerror(errno));
  handles_->file = hts_open(path.c_str(), "r");
  if (!handles_->file) throw cannot_open(path, "htslib cannot open it");
  const htsFormatCategory category = hts_get_format(handles_->file)->category;
  if (category != variant_data) throw bad_file(path, "not a VCF or BCF file");
  // A bgzipped file ends with an empty block; without it the file was cut
  // short at a block boundary and would read as a complete smaller one.
  // (Plain gzip has no such block; htslib reads it whole.)
  if (handles_->file->is_bgzf && hts_get_format(handles_->file)->compression == bgzf &&
      bgzf_check_EOF(handles_->file->fp.bgzf) == 0)
    throw bad_file(path, "truncated: the end-of-file block of its compression is missing");
  handles_->header = bcf_hdr_read(handles_->file);
  if (!handles_->header) {
    if (const auto name = genotypes::repeated_vcf_sample(path)) throw bad_file(path, "sample ID \"" + *name + "\" appears twice in the header");
    throw bad_file(path, "not a VCF or BCF file (no readable header)");
  }
  if (!header_has_gt(handles_->header)) throw bad_file(path, "no GT field in the header");
  const int count = bcf_hdr_nsamples(handles_->header);
  if (count == 0) throw bad_file(path, "no sample columns");
  for (int s = 0; s < count; ++s) samples_.emplace_back(handles_->header->samples[s]);
  handles_->record = bcf_init();
}

VcfReader::~VcfReader() = default;

bool VcfReader::next(VariantRecord& record) {
  Handles& h = *handles_;
  const int status = bcf_read(h.file, h.header, h.record);
  if (status == -1) return false;
  ++record_number_;
  if (status < -1 || (h.record->errcode & kRecordErrors) != 0 || bcf_unpack(h.record, BCF_UN_STR) != 0)
    throw bad_file(path_, "record " + std::to_string(record_number_) + " cannot be read");
  bcf1_t* r = h.record;
  record.chrom = bcf_seqname_safe(h.header, r);
  record.position = static_cast<long>(r->pos) + 1;
  if (record.position > INT32_MAX)  // the map files hold positions as int
    throw bad_file(path_, "record " + std::to_string(record_number_) + ": position " + std::to_string(record.position) +
                              " is beyond 2147483647, which the converted files cannot hold");
  record.id = r->d.id ? r->d.id : ".";
  // Both go into white-space separated text files as words.
  for (const auto& [column, value] : {std::pair{"CHROM", &record.chrom}, std::pair{"ID", &record.id}})
    if (value->empty() || std::any_of(value->begin(), value->end(), is_space))
      throw bad_file(path_, "record " + std::to_string(record_number_) + ": " + column + " \"" + *value +
                                "\" is empty or holds white space, which the converted files cannot hold");
  record.alleles.assign(r->d.allele, r->d.allele + r->n_allele);
  // htslib ends the process on GT values of another type (as left by a
  // malformed FORMAT column); refuse them first.
  if (const bcf_fmt_t* gt = bcf_get_fmt(h.header, r, "GT");
      gt && gt->type != BCF_BT_INT8 && gt->type != BCF_BT_INT16 && gt->type != BCF_BT_INT32)
    throw bad_file(path_, "record " + std::to_string(record_number_) + " cannot be read (GT values of no integer type)");
  const int values = bcf_get_genotypes(h.header, r, &h.gt, &h.gt_capacity);
  const int sample_count = static_cast<int>(samples_.size());
  record.has_genotypes = values > 0;
  record.genotypes.resize(samples_.size());
  if (!record.has_genotypes) return true;
  const int width = values / sample_count;
  for (int s = 0; s < sample_count; ++s)
    record.genotypes[static_cast<size_t>(s)] = decode_genotype(h.gt + static_cast<ptrdiff_t>(s) * width, width);
  return true;
}

}  // namespace snp::convert
