#include "input/marker_alignment.h"

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string_view>
#include <functional>

#include "input/reference_panel.h"
#include "input/study_reader.h"
#include "base/text_source.h"

namespace snp {
namespace {

// Letter numbering of the strand rule: A = 0, G = 1, C = 2, T = 3.
int strand_number(char c) {
  switch (c) {
    case 'A': return 0;
    case 'G': return 1;
    case 'C': return 2;
    case 'T': return 3;
    default: return -1;
  }
}

bool all_four_bases(char s0, char s1, char r0, char r1) {
  int seen = 0;
  for (char c : {s0, s1, r0, r1}) {
    const int n = strand_number(c);
    if (n < 0) return false;
    seen |= 1 << n;
  }
  return seen == 0xF;
}

// Copies the study rows (row per individual, column per study marker) into
// the matched reference columns of data1.
void lay_out_study_matrix(RunContext& ctx, const CodeMatrix& rows, const std::vector<std::int16_t>& status) {
  const RunConfig& cfg = ctx.config;
  RunData& d = ctx.data;
  d.data1.sample_number = cfg.typed_sample;
  d.data1.marker_number = cfg.population_marker;
  d.data1.genotype.allocate(cfg.typed_sample, cfg.population_marker, -1);
  d.data1.status.assign(status.begin(), status.begin() + cfg.typed_sample);
  // Study markers in ascending order, so that a later marker with the same
  // reference column prevails.
  for (int k = 0; k < cfg.typed_marker; ++k) {
    if (!d.snp_matched[static_cast<size_t>(k)]) continue;
    std::memcpy(d.data1.genotype.column(d.SNP_map[static_cast<size_t>(k)]), rows.column(k),
                static_cast<size_t>(cfg.typed_sample));
  }
}

}  // namespace

int allele_concordance_tag(char s0, char s1, char r0, char r1) {
  if (s0 == r0 && s1 == r1) return 0;
  if (s0 == r1 && s1 == r0) return 1;
  if (!all_four_bases(s0, s1, r0, r1)) return -1;
  const int d = strand_number(s0) - strand_number(s1);
  const int e = strand_number(r0) - strand_number(r1);
  const bool swapped_strand = (d == 1 && e == 1) || (d == -1 && e == -1) || (d == 3 && e == -1) ||
                              (d == -1 && e == 3) || (d == -3 && e == 1) || (d == 1 && e == -3);
  return swapped_strand ? 2 : 3;
}

std::vector<std::uint8_t> monomorphic_flags(const case_and_control_genotype_data& panel) {
  std::vector<std::uint8_t> flags(static_cast<size_t>(panel.marker_number), 0);
  for (int j = 0; j < panel.marker_number; ++j) {
    const std::int8_t* column = panel.genotype.column(j);
    long sum = 0;
    for (int h = 0; h < panel.sample_number; ++h) sum += column[h];
    flags[static_cast<size_t>(j)] = (sum == 0 || sum == panel.sample_number) ? 1 : 0;
  }
  return flags;
}

void read_disease_data_SNP_name(RunContext& ctx) {
  const RunConfig& cfg = ctx.config;
  const std::string path = cfg.path_disease_datadirectory + cfg.path_disease_data_mapfile0;
  const auto text = read_file_text(path);
  if (!text) throw InputError(InputProblem::cannot_open, "file open " + path + " have error\n", Channel::standard_output);
  StudyMap map = parse_study_map(*text, path, cfg.typed_marker);
  ctx.data.disease_data_SNP = std::move(map.names);
  ctx.data.disease_allele_name = std::move(map.letters);
}

namespace {

// Open-addressing index from SNP name to the first reference marker of that
// name; next_of_name links the later markers of the same name.
class NameIndex {
 public:
  explicit NameIndex(const std::vector<std::string>& names)
      : names_(names), next_of_name_(names.size(), -1) {
    size_t capacity = 16;
    while (capacity < 2 * names.size()) capacity *= 2;
    slots_.assign(capacity, -1);
    for (int j = static_cast<int>(names.size()) - 1; j >= 0; --j) {
      int& slot = slots_[find_slot(names[static_cast<size_t>(j)])];
      next_of_name_[static_cast<size_t>(j)] = slot;
      slot = j;
    }
  }
  int first(std::string_view name) const { return slots_[find_slot(name)]; }
  int next(int j) const { return next_of_name_[static_cast<size_t>(j)]; }

 private:
  size_t find_slot(std::string_view name) const {
    const size_t mask = slots_.size() - 1;
    for (size_t slot = std::hash<std::string_view>{}(name) & mask;; slot = (slot + 1) & mask)
      if (slots_[slot] < 0 || names_[static_cast<size_t>(slots_[slot])] == name) return slot;
  }
  const std::vector<std::string>& names_;
  std::vector<int> next_of_name_;
  std::vector<int> slots_;
};

}  // namespace

void match_study_markers(RunData& d, const std::vector<std::uint8_t>& monomorphic, int population_marker) {
  const NameIndex index(d.population_data_SNP);
  const size_t typed = d.disease_data_SNP.size();
  d.SNP_map.assign(typed, 0);
  d.snp_matched.assign(typed, 0);
  for (size_t k = 0; k < typed; ++k) {
    d.SNP_map[k] = static_cast<int>(k % static_cast<size_t>(population_marker));
    // First polymorphic reference marker of the name, else the last one.
    for (int j = index.first(d.disease_data_SNP[k]); j >= 0; j = index.next(j)) {
      d.SNP_map[k] = j;
      d.snp_matched[k] = 1;
      if (!monomorphic[static_cast<size_t>(j)]) break;
    }
  }
}

int diff_SNP_name(RunData& d) {
  for (size_t k = 0; k < d.SNP_map.size(); ++k) {
    if (!d.snp_matched[k]) continue;
    const auto j = static_cast<size_t>(d.SNP_map[k]);
    const AllelePair& s = d.disease_allele_name[k];
    const AllelePair& r = d.allele_name[j];
    d.diff_SNP_name_tag[j] = allele_concordance_tag(s[0], s[1], r[0], r[1]);
  }
  return 0;
}

void build_typed_marker_list(RunData& d, const std::vector<std::uint8_t>& monomorphic) {
  d.SNP_map1.assign(d.SNP_map.size(), 0);
  d.max_SNP_map1_i = 0;
  for (size_t k = 0; k < d.SNP_map.size(); ++k) {
    if (!d.snp_matched[k]) continue;
    const int j = d.SNP_map[k];
    const int tag = d.diff_SNP_name_tag[static_cast<size_t>(j)];
    if (tag >= 0 && tag <= 3 && !monomorphic[static_cast<size_t>(j)]) d.SNP_map1[static_cast<size_t>(d.max_SNP_map1_i++)] = j;
  }
}

int read_two_part_data(RunContext& ctx) {
  const RunConfig& cfg = ctx.config;
  RunData& d = ctx.data;
  d.data_population = tbt_main(ctx, cfg.population_sample, cfg.population_marker);
  read_hapmap_data_SNP_name(ctx);
  read_disease_data_SNP_name(ctx);

  const std::vector<std::uint8_t> monomorphic = monomorphic_flags(d.data_population);
  match_study_markers(d, monomorphic, cfg.population_marker);
  diff_SNP_name(d);
  build_typed_marker_list(d, monomorphic);

  CodeMatrix rows(cfg.typed_sample, cfg.typed_marker);
  std::vector<std::int16_t> status(static_cast<size_t>(cfg.typed_sample) + 1, 0);
  d.cc_or_als = 1;
  if (cfg.ncase > 0) trans_ACGT_to_01_minus_1(ctx, rows, 0, cfg.typed_marker);
  d.cc_or_als = 0;
  if (cfg.ncontrol > 0) trans_ACGT_to_01_minus_1(ctx, rows, cfg.ncase, cfg.typed_marker);
  for (int s = 0; s < cfg.typed_sample; ++s) status[static_cast<size_t>(s)] = s < cfg.ncase ? 1 : 0;

  lay_out_study_matrix(ctx, rows, status);
  ctx.out() << "read data finish\n";
  return 0;
}

}  // namespace snp
