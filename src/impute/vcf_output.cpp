#include "impute/vcf_output.h"

#include <fcntl.h>
#include <htslib/hfile.h>
#include <htslib/hts.h>
#include <htslib/tbx.h>
#include <htslib/vcf.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <ostream>

#include "base/errors.h"
#include "base/output_file.h"

namespace snp {

struct VcfWriter::Handles {
  htsFile* file = nullptr;
  bcf_hdr_t* header = nullptr;
  bcf1_t* record = nullptr;
  ~Handles() {
    if (record) bcf_destroy(record);
    if (header) bcf_hdr_destroy(header);
    if (file) hts_close(file);
  }
};

namespace {

[[noreturn]] void vcf_error(const std::string& path, const std::string& what) {
  throw FatalError("Error: " + path + ": " + what + "\n", Channel::standard_error);
}

const char* const kHeaderLines[] = {
    "##INFO=<ID=TYPED,Number=0,Type=Flag,Description=\"Marker typed in the study\">",
    "##INFO=<ID=AF,Number=1,Type=Float,Description=\"Estimated frequency of the ALT allele\">",
    "##INFO=<ID=R2,Number=1,Type=Float,Description=\"Estimated allelic r-squared of the dosages\">",
    "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype as in the result file\">",
    "##FORMAT=<ID=DS,Number=1,Type=Float,Description=\"Estimated ALT dosage\">",
    "##FORMAT=<ID=GP,Number=G,Type=Float,Description=\"Estimated genotype probabilities\">",
};

// Whether the letters can stand as REF and ALT: two different bases.
bool valid_alleles(const AllelePair& letters) {
  auto base = [](char c) { return c != 0 && std::strchr("ACGTNacgtn", c) != nullptr; };
  return base(letters[0]) && base(letters[1]) &&
         std::toupper(static_cast<unsigned char>(letters[0])) != std::toupper(static_cast<unsigned char>(letters[1]));
}

bool marker_is_typed(const StudyGenotypes& study, int t) {
  const std::int8_t* codes = study.codes.column(t);
  for (int r = 0; r < study.individuals; ++r)
    if (codes[r] >= 0 && codes[r] <= 2) return true;
  return false;
}

}  // namespace

double allelic_r2(const std::vector<double>& dosages) {
  if (dosages.empty()) return std::numeric_limits<double>::quiet_NaN();
  double sum = 0, squares = 0;
  for (double x : dosages) sum += x, squares += x * x;
  const double n = static_cast<double>(dosages.size());
  const double mean = sum / n;
  const double f = mean / 2;
  if (f <= 0 || f >= 1) return std::numeric_limits<double>::quiet_NaN();
  const double variance = squares / n - mean * mean;
  return std::max(0.0, variance) / (2 * f * (1 - f));
}

VcfWriter::VcfWriter(const std::string& path, int chromosome, const ReferencePanel& panel, const StudyGenotypes& study,
                     std::ostream& warnings)
    : path_(path),
      temporary_(temporary_name(path)),
      index_temporary_(temporary_name(path + ".tbi")),
      panel_(panel),
      study_(study),
      warnings_(warnings),
      handles_(new Handles) {
  // A directory in the VCF's place would only fail the rename at the end.
  std::error_code error;
  const int fd = std::filesystem::is_directory(path, error)
                     ? -1
                     : ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) vcf_error(path, "cannot create the VCF file");
  hFILE* stream = hdopen(fd, "w");
  if (!stream) ::close(fd);
  handles_->file = stream ? hts_hopen(stream, temporary_.c_str(), "wz") : nullptr;
  if (stream && !handles_->file) hclose_abruptly(stream);
  if (!handles_->file) vcf_error(path, "cannot create the VCF file");
  handles_->header = bcf_hdr_init("w");
  const std::string contig = "##contig=<ID=" + std::to_string(chromosome) + ">";
  bcf_hdr_append(handles_->header, contig.c_str());
  for (const char* line : kHeaderLines) bcf_hdr_append(handles_->header, line);
  for (const std::string& id : study.ids)
    if (bcf_hdr_add_sample(handles_->header, id.c_str()) != 0) vcf_error(path, "sample name " + id + " repeats");
  if (bcf_hdr_sync(handles_->header) != 0 || bcf_hdr_write(handles_->file, handles_->header) != 0)
    vcf_error(path, "cannot write the VCF header");
  handles_->record = bcf_init();
}

VcfWriter::~VcfWriter() {
  if (committed_) return;
  handles_.reset();
  std::remove(temporary_.c_str());
  std::remove(index_temporary_.c_str());
}

void VcfWriter::write(int t, const std::vector<GenotypeCall>& calls) {
  if (!valid_alleles(panel_.letters[static_cast<size_t>(t)])) {
    ++skipped_;
    return;
  }
  const long position = panel_.positions[static_cast<size_t>(t)];
  if (position < 1 || position < last_position_)
    vcf_error(path_, "marker " + panel_.names[static_cast<size_t>(t)] +
                         " is out of position order (position " + std::to_string(position) + ")");
  last_position_ = position;
  bcf_hdr_t* header = handles_->header;
  bcf1_t* record = handles_->record;
  bcf_clear(record);
  record->rid = 0;
  record->pos = position - 1;
  bcf_update_id(header, record, panel_.names[static_cast<size_t>(t)].c_str());
  const AllelePair& letters = panel_.letters[static_cast<size_t>(t)];
  const std::string alleles{letters[0], ',', letters[1]};
  bcf_update_alleles_str(header, record, alleles.c_str());

  const size_t n = calls.size();
  const std::int8_t* observed = study_.codes.column(t);
  std::vector<std::int32_t> genotypes(2 * n);
  std::vector<float> ds(n), gp(3 * n);
  std::vector<double> estimated_dosages, written_dosages;
  for (size_t r = 0; r < n; ++r) {
    const GenotypeCall& call = calls[r];
    const int code = call.output;
    genotypes[2 * r] = code < 0 ? bcf_gt_missing : bcf_gt_unphased(code == 2 ? 1 : 0);
    genotypes[2 * r + 1] = code < 0 ? bcf_gt_missing : bcf_gt_unphased(code >= 1 ? 1 : 0);
    if (call.estimated) estimated_dosages.push_back(call.probabilities[1] + 2 * call.probabilities[2]);
    std::array<double, 3> probabilities = call.probabilities;
    const bool typed = observed[r] >= 0 && observed[r] <= 2;
    if (typed) {
      // An observed genotype is certain.
      probabilities = {0.0, 0.0, 0.0};
      probabilities[static_cast<size_t>(observed[r])] = 1.0;
    } else if (!call.estimated) {
      bcf_float_set_missing(ds[r]);
      for (size_t g = 0; g < 3; ++g) bcf_float_set_missing(gp[3 * r + g]);
      continue;
    }
    const double dosage = probabilities[1] + 2 * probabilities[2];
    written_dosages.push_back(dosage);
    ds[r] = static_cast<float>(dosage);
    for (size_t g = 0; g < 3; ++g) gp[3 * r + g] = static_cast<float>(probabilities[g]);
  }
  const double r2 = allelic_r2(estimated_dosages);
  double sum = 0;
  for (double x : written_dosages) sum += x;
  float af = 0, r2_value = 0;
  if (written_dosages.empty()) bcf_float_set_missing(af);
  else af = static_cast<float>(sum / static_cast<double>(written_dosages.size()) / 2);
  if (std::isnan(r2)) bcf_float_set_missing(r2_value);
  else r2_value = static_cast<float>(r2);
  bcf_update_info_float(header, record, "AF", &af, 1);
  bcf_update_info_float(header, record, "R2", &r2_value, 1);
  if (marker_is_typed(study_, t)) bcf_update_info_flag(header, record, "TYPED", nullptr, 1);
  bcf_update_genotypes(header, record, genotypes.data(), static_cast<int>(genotypes.size()));
  bcf_update_format_float(header, record, "DS", ds.data(), static_cast<int>(ds.size()));
  bcf_update_format_float(header, record, "GP", gp.data(), static_cast<int>(gp.size()));
  if (bcf_write(handles_->file, header, record) != 0) vcf_error(path_, "cannot write the VCF file");
}

void VcfWriter::close() {
  const int closed = hts_close(handles_->file);
  handles_->file = nullptr;
  if (closed != 0) vcf_error(path_, "cannot write the VCF file");
  if (tbx_index_build2(temporary_.c_str(), index_temporary_.c_str(), 0, &tbx_conf_vcf) != 0)
    vcf_error(path_, "cannot build the tabix index");
  // The index is renamed last, so that it is never older than the VCF it
  // stands beside.
  rename_into_place(temporary_, path_);
  rename_into_place(index_temporary_, path_ + ".tbi");
  committed_ = true;
  if (skipped_ > 0)
    warnings_ << "Warning: " << path_ << ": " << skipped_
              << " markers left out, their map letters not being two different VCF bases (A, C, G, T, N)\n";
}

}  // namespace snp
