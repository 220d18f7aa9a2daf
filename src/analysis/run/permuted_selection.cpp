#include "analysis/run/permuted_selection.h"

#include <algorithm>
#include <unordered_map>

#include "analysis/inputs/marker_choice.h"
#include "base/errors.h"
#include "base/parallel.h"

namespace snp {
namespace {

constexpr size_t kBlockMarkers = 8192;

std::vector<short> observed_phenotype(const genotypes::Phenotypes& phenotypes, size_t samples) {
  std::vector<short> row;
  for (size_t s = 0; s < phenotypes.values.size() && s < samples; ++s)
    if (phenotypes.values[s]) row.push_back(*phenotypes.values[s] == 1 ? 1 : 0);
  return row;
}

void check_table_choice(const TopSelection& selection, const TopRequest& top) {
  const std::vector<MarkerChoice> table = top_marker_rows(top.table, top.count);
  for (size_t r = 0; r < table.size(); ++r) {
    const genotypes::Marker& ranked = selection.markers[static_cast<size_t>(selection.observed[r])];
    const bool same = table[r].name == ranked.name && (table[r].identity.empty() || table[r].identity == identity_of(ranked));
    if (!same)
      throw inconsistent_file(top.table, "the screen table was made from other data: its marker " +
                                             std::to_string(r + 1) + " by P_MIN is " + table[r].name +
                                             ", the screen of these genotypes and phenotypes ranks " + ranked.name +
                                             " there");
  }
}

}  // namespace

TopSelection read_top_selection(genotypes::GenotypeReader& reader, const genotypes::Phenotypes& phenotypes,
                                const std::string& phenotype_source, const TopRequest& top) {
  if (phenotypes.kind != genotypes::PhenotypeKind::case_control)
    throw inconsistent_file(phenotype_source,
                            "--top repeats the screen in every permutation, which needs case/control status");
  std::vector<size_t> kept;
  for (size_t s = 0; s < phenotypes.values.size() && s < reader.samples().size(); ++s)
    if (phenotypes.values[s]) kept.push_back(s);
  if (kept.empty()) throw inconsistent_file(phenotype_source, "no sample has a phenotype");
  TopSelection selection;
  selection.genotypes = screen::PackedGenotypes(kept.size());
  selection.count = top.count;
  genotypes::MarkerBlock block;
  std::vector<std::int8_t> codes(kept.size());
  while (reader.read_block(block, kBlockMarkers)) {
    for (size_t m = 0; m < block.size(); ++m) {
      const auto all = block.codes_of(m);
      for (size_t i = 0; i < kept.size(); ++i) codes[i] = all[kept[i]];
      selection.genotypes.add(codes);
      selection.markers.push_back(block.markers[m]);
    }
  }
  if (selection.markers.size() < static_cast<size_t>(top.count))
    throw inconsistent_file(reader.path(), "--top asks for " + std::to_string(top.count) + " markers, the input has " +
                                               std::to_string(selection.markers.size()));
  selection.observed =
      screen::top_by_minimum(selection.genotypes, observed_phenotype(phenotypes, reader.samples().size()), top.count);
  check_table_choice(selection, top);
  return selection;
}

StudyInput observed_top_input(const TopSelection& selection, const genotypes::Phenotypes& phenotypes) {
  StudyInput study;
  const size_t samples = selection.genotypes.samples();
  study.input.genotypes.assign(samples, {});
  std::vector<int> columns;
  for (const int marker : selection.observed) {
    const auto j = static_cast<size_t>(marker);
    const genotypes::Marker& m = selection.markers[j];
    study.labels.push_back({m.name, m.chromosome, m.position, m.counted, m.other});
    for (size_t s = 0; s < samples; ++s) study.input.genotypes[s].push_back(selection.genotypes.code(j, s));
    columns.push_back(static_cast<int>(columns.size()));
  }
  study.input.phenotypes.push_back(observed_phenotype(phenotypes, phenotypes.values.size()));
  study.input.columns.push_back(std::move(columns));
  return study;
}

void select_in_permutations(const TopSelection& selection, AnalysisInput& input, int threads) {
  const size_t sets = input.phenotypes.size();
  std::vector<std::vector<int>> tops(sets);
  const int permuted = static_cast<int>(sets) - 1;
  parallel_for(permuted, std::max(threads, 1), [&](int p, int) {
    const auto d = static_cast<size_t>(p) + 1;
    tops[d] = screen::top_by_minimum(selection.genotypes, input.phenotypes[d], selection.count);
  });
  // Genotype columns in the order the data sets first use their markers.
  std::unordered_map<int, int> column_of;
  for (size_t j = 0; j < selection.observed.size(); ++j)
    column_of.emplace(selection.observed[j], static_cast<int>(j));
  for (size_t d = 1; d < sets; ++d) {
    std::vector<int>& columns = input.columns[d];
    columns.clear();
    for (const int marker : tops[d]) {
      const auto [found, added] = column_of.emplace(marker, static_cast<int>(column_of.size()));
      if (added)
        for (size_t s = 0; s < input.genotypes.size(); ++s)
          input.genotypes[s].push_back(selection.genotypes.code(static_cast<size_t>(marker), s));
      columns.push_back(found->second);
    }
  }
}

}  // namespace snp
