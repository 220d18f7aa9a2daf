#include "convert/site_scan.h"

#include <algorithm>
#include <numeric>
#include <ostream>
#include <vector>

#include "base/errors.h"

namespace snp::convert {
namespace {

constexpr std::array<const char*, kSkipReasons> kReasonText = {
    "on another chromosome",
    "without an ALT allele",
    "multi-allelic",
    "not a SNP (indel or other allele)",
    "without GT values",
    "with an unphased heterozygous genotype",
    "with a genotype of other than two alleles (mixed ploidy)",
    "at an already converted position (duplicate)",
};

bool is_base(const std::string& allele) {
  return allele.size() == 1 && std::string_view("ACGTacgt").find(allele[0]) != std::string_view::npos;
}

InputError scan_error(const VcfReader& reader, const std::string& what) {
  return InputError(InputProblem::inconsistent, "Error: " + reader.path() + ": " + what + "\n");
}

// Chromosome choice and position order of the records as they are read.
class RecordOrder {
 public:
  RecordOrder(const VcfReader& reader, std::optional<std::string> chosen)
      : reader_(reader), chosen_(std::move(chosen)), explicit_choice_(chosen_.has_value()) {}

  // Whether the record lies on the chosen chromosome (the first one seen
  // when none was chosen); checks its position against the previous one.
  bool accept(const VariantRecord& r) {
    if (!chosen_) chosen_ = r.chrom;
    if (r.chrom != *chosen_) {
      if (!explicit_choice_) throw several_chromosomes(r);
      if (others_.empty() || others_.back() != r.chrom) others_.push_back(r.chrom);
      return false;
    }
    if (seen_ && r.position < last_position_)
      throw scan_error(reader_, "record " + std::to_string(reader_.record_number()) + " (" + r.chrom + ":" +
                                    std::to_string(r.position) + ") comes after position " +
                                    std::to_string(last_position_) +
                                    "; records must be sorted by position (bcftools sort)");
    seen_ = true;
    last_position_ = r.position;
    return true;
  }
  bool seen() const { return seen_; }
  // Other chromosomes met, each once per run of records.
  const std::vector<std::string>& others() const { return others_; }
  const std::string& chromosome() const { return *chosen_; }

 private:
  InputError several_chromosomes(const VariantRecord& r) const {
    return scan_error(reader_, "records of several chromosomes (" + *chosen_ + " and " + r.chrom + " at record " +
                                   std::to_string(reader_.record_number()) + "); choose one with --chromosome");
  }
  const VcfReader& reader_;
  std::optional<std::string> chosen_;
  bool explicit_choice_;
  std::vector<std::string> others_;
  bool seen_ = false;
  long last_position_ = 0;
};

std::string missing_chromosome(const std::optional<std::string>& chosen, const std::vector<std::string>& others) {
  if (!chosen) return "no records";
  std::string text = "no records of chromosome " + *chosen;
  if (others.empty()) return text;
  text += " (found";
  for (size_t k = 0; k < others.size() && k < 5; ++k) text += " " + others[k];
  return text + (others.size() > 5 ? " ...)" : ")");
}

}  // namespace

long ScanSummary::skipped_total() const { return std::accumulate(skipped.begin(), skipped.end(), 0L); }

std::optional<SkipReason> site_problem(const VariantRecord& r) {
  if (r.alleles.size() < 2 || r.alleles[1] == ".") return SkipReason::no_alt_allele;
  if (r.alleles.size() > 2) return SkipReason::multi_allelic;
  if (!is_base(r.alleles[0]) || !is_base(r.alleles[1]) || allele_letter(r.alleles[0]) == allele_letter(r.alleles[1]))
    return SkipReason::not_snp;
  if (!r.has_genotypes) return SkipReason::no_genotypes;
  return std::nullopt;
}

std::optional<SkipReason> haplotype_problem(const VariantRecord& r) {
  for (const Genotype& g : r.genotypes) {
    if (g.all_missing()) continue;
    if (g.ploidy != 2) return SkipReason::not_diploid;
    if (!g.phased && g.first != g.second) return SkipReason::unphased;
  }
  return std::nullopt;
}

std::string marker_name(const VariantRecord& r) {
  std::string first = r.id.substr(0, r.id.find(';'));
  if (first.empty() || first == ".") return r.chrom + ":" + std::to_string(r.position);
  return first;
}

char allele_letter(const std::string& allele) {
  const char c = allele[0];
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

namespace {

// The records of one position, in file order. Records that split a
// multi-allelic site (different alleles at one position) are all skipped:
// each would write the carriers of the other alleles as reference.
class PositionGroup {
 public:
  bool continues(const VariantRecord& r) const { return !records_.empty() && records_.front().position == r.position; }
  void add(VariantRecord&& r) { records_.push_back(std::move(r)); }

  // Hands on the group's usable SNP, if any, and counts the others.
  void flush(const ScanOptions& options, ScanSummary& summary,
             const std::function<void(const VariantRecord&)>& keep) {
    const bool split = std::any_of(records_.begin(), records_.end(),
                                   [&](const VariantRecord& r) { return r.alleles != records_.front().alleles; });
    bool kept = false;
    for (const VariantRecord& record : records_) {
      auto problem = split ? std::optional(SkipReason::multi_allelic) : site_problem(record);
      if (!problem && options.need_haplotypes) problem = haplotype_problem(record);
      if (!problem && kept) problem = SkipReason::duplicate_position;
      if (problem) {
        ++summary[*problem];
        continue;
      }
      kept = true;
      ++summary.kept;
      keep(record);
    }
    records_.clear();
  }

 private:
  std::vector<VariantRecord> records_;
};

// "6 multi-allelic, 4 on another chromosome": the reasons of a summary.
std::string reasons_text(const ScanSummary& summary) {
  std::string text;
  for (size_t k = 0; k < kSkipReasons; ++k)
    if (summary.skipped[k] > 0)
      text += (text.empty() ? "" : ", ") + std::to_string(summary.skipped[k]) + " " + kReasonText[k];
  return text;
}

}  // namespace

ScanSummary scan_snps(VcfReader& reader, const ScanOptions& options,
                      const std::function<void(const VariantRecord&)>& keep) {
  ScanSummary summary;
  RecordOrder order(reader, options.chromosome);
  PositionGroup group;
  VariantRecord record;
  while (reader.next(record)) {
    ++summary.records;
    if (!order.accept(record)) {
      ++summary[SkipReason::other_chromosome];
      continue;
    }
    if (!group.continues(record)) group.flush(options, summary, keep);
    group.add(std::move(record));
    record = VariantRecord();
  }
  group.flush(options, summary, keep);
  if (!order.seen()) throw scan_error(reader, missing_chromosome(options.chromosome, order.others()));
  summary.chromosome = order.chromosome();
  if (summary.kept == 0)
    throw scan_error(reader, "no usable biallelic SNP on chromosome " + summary.chromosome + " (all " +
                                 std::to_string(summary.records - summary[SkipReason::other_chromosome]) +
                                 " of its records skipped: " + reasons_text(summary) + ")");
  return summary;
}

void report_skipped(const ScanSummary& summary, const std::string& path, std::ostream& out) {
  if (summary.skipped_total() == 0) return;
  out << "Skipped " << summary.skipped_total() << " of " << summary.records << " records of " << path << ":\n";
  for (size_t k = 0; k < kSkipReasons; ++k)
    if (summary.skipped[k] > 0) out << "  " << summary.skipped[k] << " " << kReasonText[k] << "\n";
}

}  // namespace snp::convert
