#include "convert/strand_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <unordered_map>
#include <utility>

namespace snp::convert {
namespace {

constexpr double kLeastDistanceFromHalf = 0.1;
constexpr double kStandardErrors = 3.0;
constexpr size_t kNamesShown = 5;

double frequency(AlleleCount count) { return static_cast<double>(count.alt) / count.called; }

AlleleCount study_count(const StudyData& study, size_t marker) {
  const char alt = study.markers[marker].alt;
  AlleleCount count;
  for (const StudySample& s : study.samples)
    for (const char letter : {s.letters[2 * marker], s.letters[2 * marker + 1]}) {
      count.alt += letter == alt;
      count.called += letter != '0';
    }
  return count;
}

// The two letters in alphabetical order.
std::pair<char, char> letter_pair(const ConvertedMarker& m) {
  return m.ref < m.alt ? std::pair(m.ref, m.alt) : std::pair(m.alt, m.ref);
}

std::string decimals(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", value);
  return text;
}

}  // namespace

bool is_ambiguous(const ConvertedMarker& marker) {
  const auto pair = letter_pair(marker);
  return pair == std::pair('A', 'T') || pair == std::pair('C', 'G');
}

long drop_ambiguous(StudyData& study) {
  size_t kept = 0;
  for (size_t k = 0; k < study.markers.size(); ++k) {
    if (is_ambiguous(study.markers[k])) continue;
    if (kept != k) {
      for (StudySample& s : study.samples) {
        s.letters[2 * kept] = s.letters[2 * k];
        s.letters[2 * kept + 1] = s.letters[2 * k + 1];
      }
      study.markers[kept] = std::move(study.markers[k]);
    }
    ++kept;
  }
  const long dropped = static_cast<long>(study.markers.size() - kept);
  study.markers.resize(kept);
  for (StudySample& s : study.samples) s.letters.resize(2 * kept);
  return dropped;
}

bool suggests_other_strand(AlleleCount study, AlleleCount panel) {
  if (study.called == 0 || panel.called == 0) return false;
  const double p = frequency(study), q = frequency(panel);
  const double least = kLeastDistanceFromHalf - 1e-9;  // 0.4 itself counts despite rounding
  if (std::abs(p - 0.5) < least || std::abs(q - 0.5) < least ||
      (p - 0.5) * (q - 0.5) > 0)
    return false;
  const double pooled = static_cast<double>(study.alt + panel.alt) / (study.called + panel.called);
  const double error = std::sqrt(pooled * (1 - pooled) * (1.0 / study.called + 1.0 / panel.called));
  return std::abs(p - q) > kStandardErrors * error;
}

std::vector<StrandSuspect> check_strand(const StudyData& study, const PanelIndex& panel) {
  std::unordered_map<std::string, size_t> by_name;
  for (size_t k = 0; k < panel.markers.size() && k < panel.counts.size(); ++k)
    by_name.emplace(panel.markers[k].name, k);
  std::vector<StrandSuspect> suspects;
  for (size_t k = 0; k < study.markers.size(); ++k) {
    const ConvertedMarker& m = study.markers[k];
    const auto hit = by_name.find(m.name);
    if (!is_ambiguous(m) || hit == by_name.end()) continue;
    const ConvertedMarker& reference = panel.markers[hit->second];
    if (letter_pair(reference) != letter_pair(m)) continue;
    AlleleCount in_panel = panel.counts[hit->second];
    if (reference.alt != m.alt) in_panel.alt = in_panel.called - in_panel.alt;
    const AlleleCount in_study = study_count(study, k);
    if (suggests_other_strand(in_study, in_panel))
      suspects.push_back({m, frequency(in_study), frequency(in_panel)});
  }
  return suspects;
}

void write_strand_table(const std::vector<StrandSuspect>& suspects, std::ostream& out) {
  out << "name\tposition\talleles\tstudy_alt_frequency\tpanel_alt_frequency\n";
  for (const StrandSuspect& s : suspects)
    out << s.marker.name << '\t' << s.marker.position << '\t' << s.marker.ref << '/' << s.marker.alt << '\t'
        << decimals(s.study_frequency) << '\t' << decimals(s.panel_frequency) << '\n';
}

void report_strand(const std::vector<StrandSuspect>& suspects, const std::string& table_path, std::ostream& err) {
  if (suspects.empty()) return;
  err << "Warning: " << suspects.size()
      << (suspects.size() == 1 ? " A/T or C/G marker has" : " A/T or C/G markers have")
      << " ALT frequencies on opposite sides of 0.5 in the study and the panel, as if "
         "typed on the other strand: ";
  for (size_t k = 0; k < suspects.size() && k < kNamesShown; ++k) err << (k ? ", " : "") << suspects[k].marker.name;
  if (suspects.size() > kNamesShown) err << ", ...";
  err << " (all in " << table_path << "; --exclude-ambiguous leaves every A/T and C/G marker out)\n";
}

}  // namespace snp::convert
