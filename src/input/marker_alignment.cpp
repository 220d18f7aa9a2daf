#include "input/marker_alignment.h"

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string_view>
#include <functional>

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

std::vector<std::uint8_t> monomorphic_flags(const ReferencePanel& panel) {
  std::vector<std::uint8_t> flags(static_cast<size_t>(panel.marker_count), 0);
  for (int j = 0; j < panel.marker_count; ++j) {
    const long sum = panel_code_sum(panel, j);
    flags[static_cast<size_t>(j)] = (sum == 0 || sum == panel.haplotype_count) ? 1 : 0;
  }
  return flags;
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

MarkerAlignment align_markers(const ReferencePanel& panel, const StudyMap& study_map) {
  const std::vector<std::uint8_t> monomorphic = monomorphic_flags(panel);
  const NameIndex index(panel.names);
  const size_t typed = study_map.names.size();
  MarkerAlignment a;
  a.reference_marker.assign(typed, 0);
  a.matched.assign(typed, 0);
  a.concordance.assign(static_cast<size_t>(panel.marker_count), -1);
  for (size_t k = 0; k < typed; ++k) {
    a.reference_marker[k] = static_cast<int>(k % static_cast<size_t>(panel.marker_count));
    for (int j = index.first(study_map.names[k]); j >= 0; j = index.next(j)) {
      a.reference_marker[k] = j;
      a.matched[k] = 1;
      if (!monomorphic[static_cast<size_t>(j)]) break;
    }
  }
  // Study markers in order, so that the tag of a later marker matched to the
  // same reference marker prevails.
  for (size_t k = 0; k < typed; ++k) {
    if (!a.matched[k]) continue;
    const auto j = static_cast<size_t>(a.reference_marker[k]);
    const AllelePair& s = study_map.letters[k];
    const AllelePair& r = panel.letters[j];
    a.concordance[j] = allele_concordance_tag(s[0], s[1], r[0], r[1]);
  }
  int previous = -1;
  for (size_t k = 0; k < typed; ++k) {
    if (!a.matched[k]) continue;
    const int j = a.reference_marker[k];
    ++a.matched_count;
    if (j < previous) ++a.out_of_order;
    previous = j;
    const int tag = a.concordance[static_cast<size_t>(j)];
    if (tag >= 0 && tag <= 3 && !monomorphic[static_cast<size_t>(j)]) a.typed_markers.push_back(j);
  }
  // A study map in chromosome order gives the list in ascending order already.
  if (a.out_of_order > 0) std::sort(a.typed_markers.begin(), a.typed_markers.end());
  return a;
}

CodeMatrix place_on_reference_markers(const CodeMatrix& rows, int individuals, const MarkerAlignment& alignment,
                                      int reference_markers) {
  CodeMatrix placed(individuals, reference_markers, -1);
  for (size_t k = 0; k < alignment.reference_marker.size(); ++k) {
    if (!alignment.matched[k]) continue;
    std::memcpy(placed.column(alignment.reference_marker[k]), rows.column(static_cast<int>(k)),
                static_cast<size_t>(individuals));
  }
  return placed;
}

}  // namespace snp
