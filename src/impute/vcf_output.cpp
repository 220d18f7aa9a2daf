#include "impute/vcf_output.h"

#include <fcntl.h>
#include <htslib/hfile.h>
#include <htslib/hts.h>
#include <htslib/tbx.h>
#include <htslib/vcf.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>

#include "base/command_line.h"
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
    "##INFO=<ID=TYPED,Number=0,Type=Flag,Description=\"Genotyped in the study: GT, DS and GP hold the observed "
    "genotype of every individual typed here\">",
    "##INFO=<ID=IMP,Number=0,Type=Flag,Description=\"Imputed: not genotyped in the study\">",
    "##INFO=<ID=AF,Number=1,Type=Float,Description=\"Estimated ALT allele frequency in the study: mean DS over "
    "two\">",
    "##INFO=<ID=R2,Number=1,Type=Float,Description=\"Estimated squared correlation between DS and the true ALT "
    "allele count, from GP: 1 where every genotype is certain, 0 where it cannot be estimated or where no genotype "
    "was observed and DS does not vary\">",
    "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype: the observed one where typed, else the most "
    "probable one when its probability passes the calling threshold, else missing\">",
    "##FORMAT=<ID=DS,Number=1,Type=Float,Description=\"ALT allele dosage: expected ALT allele count under GP\">",
    "##FORMAT=<ID=GP,Number=G,Type=Float,Description=\"Probabilities of the genotypes REF/REF, REF/ALT and "
    "ALT/ALT\">",
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

const char* open_mode(VcfFormat format) {
  switch (format) {
    case VcfFormat::plain: return "w";
    case VcfFormat::bgzipped: return "wz";
    case VcfFormat::bcf: return "wb";
  }
  return "w";
}

// Opens the temporary file; a directory in the VCF's place would only fail
// the rename at the end.
htsFile* open_output(const std::string& path, const std::string& temporary, VcfFormat format) {
  std::error_code error;
  const int fd = std::filesystem::is_directory(path, error)
                     ? -1
                     : ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) vcf_error(path, "cannot create the VCF file");
  hFILE* stream = hdopen(fd, "w");
  if (!stream) ::close(fd);
  htsFile* file = stream ? hts_hopen(stream, temporary.c_str(), open_mode(format)) : nullptr;
  if (stream && !file) hclose_abruptly(stream);
  if (!file) vcf_error(path, "cannot create the VCF file");
  return file;
}

std::string source_line() {
  std::string version = version_text("snp-impute");
  while (!version.empty() && version.back() == '\n') version.pop_back();
  return "##source=" + version;
}

}  // namespace

std::optional<VcfFormat> vcf_format_for(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  const auto has_suffix = [&](std::string_view suffix) {
    return name.size() > suffix.size() && name.ends_with(suffix);
  };
  if (has_suffix(".vcf.gz")) return VcfFormat::bgzipped;
  if (has_suffix(".bcf")) return VcfFormat::bcf;
  if (has_suffix(".vcf")) return VcfFormat::plain;
  return std::nullopt;
}

std::string vcf_index_path(const std::string& path) {
  const auto format = vcf_format_for(path);
  if (format == VcfFormat::bgzipped) return path + ".tbi";
  if (format == VcfFormat::bcf) return path + ".csi";
  return "";
}

double dosage_r2(const std::vector<std::array<double, 3>>& probabilities) {
  if (probabilities.empty()) return 0;
  double sum = 0, squares = 0, expected_squares = 0, uncertainty = 0;
  for (const auto& p : probabilities) {
    const double dosage = p[1] + 2 * p[2];
    const double expected_square = p[1] + 4 * p[2];
    sum += dosage;
    squares += dosage * dosage;
    expected_squares += expected_square;
    uncertainty += std::max(0.0, expected_square - dosage * dosage);
  }
  const double n = static_cast<double>(probabilities.size());
  constexpr double kCertain = 1e-12;
  if (uncertainty <= kCertain * n) return 1;
  const double dosage_variance = squares - sum * sum / n;
  const double genotype_variance = expected_squares - sum * sum / n;
  if (genotype_variance <= kCertain * n) return 0;
  return std::clamp(dosage_variance / genotype_variance, 0.0, 1.0);
}

double imputed_r2(const std::vector<std::array<double, 3>>& probabilities) {
  const auto dosage = [](const std::array<double, 3>& p) { return static_cast<float>(p[1] + 2 * p[2]); };
  const bool varies = std::any_of(probabilities.begin(), probabilities.end(), [&](const std::array<double, 3>& p) {
    return dosage(p) != dosage(probabilities.front());
  });
  return varies ? dosage_r2(probabilities) : 0.0;
}

VcfWriter::VcfWriter(const std::string& path, const VcfLayout& layout, const ReferencePanel& panel,
                     const StudyGenotypes& study, std::ostream& warnings, int threads)
    : path_(path),
      format_(vcf_format_for(path).value_or(VcfFormat::plain)),
      temporary_(temporary_name(path)),
      index_temporary_(format_ == VcfFormat::plain ? "" : temporary_name(vcf_index_path(path))),
      sample_rows_(layout.sample_rows),
      panel_(panel),
      study_(study),
      warnings_(warnings),
      handles_(new Handles) {
  handles_->file = open_output(path, temporary_, format_);
  if (threads > 1 && format_ != VcfFormat::plain && hts_set_threads(handles_->file, threads) != 0)
    vcf_error(path, "cannot start the compression threads");
  handles_->header = bcf_hdr_init("w");
  const std::string contig = "##contig=<ID=" + layout.contig + ">";
  bcf_hdr_append(handles_->header, source_line().c_str());
  if (bcf_hdr_append(handles_->header, contig.c_str()) != 0)
    vcf_error(path, "contig name \"" + layout.contig + "\" cannot stand in a VCF");
  for (const char* line : kHeaderLines) bcf_hdr_append(handles_->header, line);
  for (int row : sample_rows_) {
    const std::string& id = study.ids[static_cast<size_t>(row)];
    if (bcf_hdr_add_sample(handles_->header, id.c_str()) != 0) vcf_error(path, "sample name " + id + " repeats");
  }
  if (bcf_hdr_sync(handles_->header) != 0 || bcf_hdr_write(handles_->file, handles_->header) != 0)
    vcf_error(path, "cannot write the VCF header");
  handles_->record = bcf_init();
}

VcfWriter::~VcfWriter() {
  if (committed_) return;
  handles_.reset();
  std::remove(temporary_.c_str());
  if (!index_temporary_.empty()) std::remove(index_temporary_.c_str());
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

  const size_t n = sample_rows_.size();
  const std::int8_t* observed = study_.codes.column(t);
  std::vector<std::int32_t> genotypes(2 * n);
  std::vector<float> ds(n), gp(3 * n);
  std::vector<std::array<double, 3>> written;
  written.reserve(n);
  bool any_observed = false;
  for (size_t k = 0; k < n; ++k) {
    const size_t r = static_cast<size_t>(sample_rows_[k]);
    const GenotypeCall& call = calls[r];
    const int code = call.output;
    genotypes[2 * k] = code < 0 ? bcf_gt_missing : bcf_gt_unphased(code == 2 ? 1 : 0);
    genotypes[2 * k + 1] = code < 0 ? bcf_gt_missing : bcf_gt_unphased(code >= 1 ? 1 : 0);
    std::array<double, 3> probabilities = call.probabilities;
    const bool typed = observed[r] >= 0 && observed[r] <= 2;
    any_observed = any_observed || typed;
    if (typed) {
      // An observed genotype is certain.
      probabilities = {0.0, 0.0, 0.0};
      probabilities[static_cast<size_t>(observed[r])] = 1.0;
    } else if (!call.estimated) {
      bcf_float_set_missing(ds[k]);
      for (size_t g = 0; g < 3; ++g) bcf_float_set_missing(gp[3 * k + g]);
      continue;
    }
    written.push_back(probabilities);
    ds[k] = static_cast<float>(probabilities[1] + 2 * probabilities[2]);
    for (size_t g = 0; g < 3; ++g) gp[3 * k + g] = static_cast<float>(probabilities[g]);
  }
  double sum = 0;
  for (const auto& p : written) sum += p[1] + 2 * p[2];
  float af = 0;
  if (written.empty()) bcf_float_set_missing(af);
  else af = static_cast<float>(sum / static_cast<double>(written.size()) / 2);
  const float r2 = static_cast<float>(any_observed ? dosage_r2(written) : imputed_r2(written));
  bcf_update_info_float(header, record, "AF", &af, 1);
  bcf_update_info_float(header, record, "R2", &r2, 1);
  bcf_update_info_flag(header, record, marker_is_typed(study_, t) ? "TYPED" : "IMP", nullptr, 1);
  bcf_update_genotypes(header, record, genotypes.data(), static_cast<int>(genotypes.size()));
  bcf_update_format_float(header, record, "DS", ds.data(), static_cast<int>(ds.size()));
  bcf_update_format_float(header, record, "GP", gp.data(), static_cast<int>(gp.size()));
  if (bcf_write(handles_->file, header, record) != 0) vcf_error(path_, "cannot write the VCF file");
}

void VcfWriter::close() {
  const int closed = hts_close(handles_->file);
  handles_->file = nullptr;
  if (closed != 0) vcf_error(path_, "cannot write the VCF file");
  if (format_ == VcfFormat::bgzipped &&
      tbx_index_build2(temporary_.c_str(), index_temporary_.c_str(), 0, &tbx_conf_vcf) != 0)
    vcf_error(path_, "cannot build the tabix index");
  constexpr int kCsiMinShift = 14;
  if (format_ == VcfFormat::bcf && bcf_index_build2(temporary_.c_str(), index_temporary_.c_str(), kCsiMinShift) != 0)
    vcf_error(path_, "cannot build the CSI index");
  // The index is renamed last, so that it is never older than the VCF it
  // stands beside.
  rename_into_place(temporary_, path_);
  if (!index_temporary_.empty()) rename_into_place(index_temporary_, vcf_index_path(path_));
  committed_ = true;
  if (skipped_ > 0)
    warnings_ << "Warning: " << path_ << ": " << skipped_
              << " markers left out, their map letters not being two different VCF bases (A, C, G, T, N)\n";
}

}  // namespace snp
