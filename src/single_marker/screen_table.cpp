#include "single_marker/screen_table.h"

#include <algorithm>
#include <charconv>
#include <utility>
#include <numeric>

#include "base/output_file.h"
#include "base/parallel.h"
#include "single_marker/mapped_file.h"

namespace snp::screen {
namespace {

constexpr size_t kMarkersPerThread = 50000;

void append_number(std::string& row, const std::optional<double>& value) {
  row += '\t';
  if (!value) {
    row += "NA";
    return;
  }
  // As printf's %g: six significant digits.
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, *value, std::chars_format::general, 6).ptr;
  row.append(text, end);
}

}  // namespace

std::array<bool, 4> testable_models(const GenotypeCounts& c, const SampleSize& samplesize) {
  const int cases = samplesize.cases - c.cases[3], controls = samplesize.controls - c.controls[3];
  if (cases <= 0 || controls <= 0) return {};
  // Genotype classes 0, 1, 2 over both groups.
  const std::array<int, 3> n = {c.cases[0] + c.controls[0], c.cases[1] + c.controls[1], c.cases[2] + c.controls[2]};
  const int typed = n[0] + n[1] + n[2];
  const int classes = (n[0] > 0) + (n[1] > 0) + (n[2] > 0);
  const bool two_alleles = n[1] > 0 || (n[0] > 0 && n[2] > 0);
  // A 2x2 table of cases and controls by a split of the classes needs a
  // member on each side of the split.
  const bool dominant = n[0] > 0 && n[0] < typed;
  const bool recessive = n[2] > 0 && n[2] < typed;
  return {two_alleles, dominant, recessive, classes >= 2};
}

TablePvalues table_pvalues(const GenotypeCounts& counts, const SampleSize& samplesize) {
  const ModelStatistics s = statistics_from_counts(counts, samplesize);
  const std::array<bool, 4> testable = testable_models(counts, samplesize);
  TablePvalues p;
  for (size_t m = 0; m < 4; ++m) {
    if (s.df[m] == 0 || !testable[m]) continue;
    p[m] = pvalue_of(s.value[m], s.df[m]);
    if (!p[4] || *p[m] < *p[4]) p[4] = p[m];
  }
  return p;
}

std::vector<std::optional<double>> bh_qvalues(const std::vector<std::optional<double>>& p, size_t markers) {
  // Equal p-values end with equal q-values whatever their order.
  std::vector<std::pair<double, size_t>> order;
  for (size_t j = 0; j < p.size(); ++j)
    if (p[j]) order.emplace_back(*p[j], j);
  std::sort(order.begin(), order.end());
  std::vector<std::optional<double>> q(p.size());
  double least = 1.0;
  for (size_t r = order.size(); r >= 1; --r) {
    least = std::min(least, order[r - 1].first * static_cast<double>(markers) / static_cast<double>(r));
    q[order[r - 1].second] = least;
  }
  return q;
}

std::string table_header() {
  return "CHR\tSNP\tBP\tA1\tA2\tCASE_A1A1\tCASE_A1A2\tCASE_A2A2\tCASE_MISS\tCTRL_A1A1\tCTRL_A1A2\tCTRL_A2A2\t"
         "CTRL_MISS\tP_ADD\tP_DOM\tP_REC\tP_GENO\tP_MIN\tQ_ADD\tQ_DOM\tQ_REC\tQ_GENO\tQ_MIN";
}

void write_screen_table(const std::string& path, size_t markers,
                        const std::function<genotypes::Marker(size_t)>& label,
                        const std::function<GenotypeCounts(size_t)>& counts, const SampleSize& samplesize) {
  write_file_atomically(path, [&](std::ostream& out) { write_screen_table(out, markers, label, counts, samplesize); });
}

void write_screen_table(std::ostream& out, size_t markers, const std::function<genotypes::Marker(size_t)>& label,
                        const std::function<GenotypeCounts(size_t)>& counts, const SampleSize& samplesize) {
  std::vector<GenotypeCounts> tallies(markers);
  std::array<std::vector<std::optional<double>>, 5> p;
  for (auto& model : p) model.resize(markers);
  const unsigned threads = worker_count(markers, kMarkersPerThread);
  parallel_for(static_cast<int>(threads), static_cast<int>(threads), [&](int t, int) {
    const auto part = static_cast<unsigned>(t);
    for (size_t j = markers * part / threads; j < markers * (part + 1) / threads; ++j) {
      tallies[j] = counts(j);
      const TablePvalues row = table_pvalues(tallies[j], samplesize);
      for (size_t m = 0; m < 5; ++m) p[m][j] = row[m];
    }
  });
  std::array<std::vector<std::optional<double>>, 5> q;
  // One model's sort per thread.
  parallel_for(static_cast<int>(threads), static_cast<int>(threads), [&](int t, int) {
    for (size_t m = static_cast<size_t>(t); m < 5; m += threads) q[m] = bh_qvalues(p[m], markers);
  });
  {
    out << table_header() << '\n';
    std::string row;
    for (size_t j = 0; j < markers; ++j) {
      const genotypes::Marker marker = label(j);
      row.clear();
      for (const std::string* word : {&marker.chromosome, &marker.name}) row.append(*word).push_back('\t');
      row.append(std::to_string(marker.position));
      for (const std::string* word : {&marker.counted, &marker.other}) row.append(1, '\t').append(*word);
      // Counts of two, one and no copies of A1, then the missing ones.
      for (const auto* group : {&tallies[j].cases, &tallies[j].controls})
        for (const size_t code : {2, 1, 0, 3}) row.append(1, '\t').append(std::to_string((*group)[code]));
      for (size_t m = 0; m < 5; ++m) append_number(row, p[m][j]);
      for (size_t m = 0; m < 5; ++m) append_number(row, q[m][j]);
      row += '\n';
      out << row;
    }
  }
}

}  // namespace snp::screen
