#include "analysis/inputs/marker_choice.h"

#include <algorithm>
#include <unordered_set>

#include "base/errors.h"

namespace snp {
namespace {

constexpr size_t kBlock = 4096;

bool picks(const MarkerChoice& choice, const genotypes::Marker& marker) {
  if (!choice.identity.empty()) return marker.name == choice.name && identity_of(marker) == choice.identity;
  return marker.name == choice.name;
}

std::string listed(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size() && i < 5; ++i) text += (i ? ", " : "") + names[i];
  if (names.size() > 5) text += ", ...";
  return text;
}

}  // namespace

std::string identity_of(const genotypes::Marker& marker) {
  return marker.chromosome + ':' + std::to_string(marker.position) + ':' + marker.counted + ':' + marker.other;
}

genotypes::GenotypeTable read_chosen_markers(genotypes::GenotypeReader& reader, const std::vector<MarkerChoice>& chosen,
                                             const std::string& source) {
  std::unordered_set<std::string> wanted;
  for (const MarkerChoice& choice : chosen) wanted.insert(choice.name);
  const bool by_identity = std::any_of(chosen.begin(), chosen.end(), [](const MarkerChoice& c) {
    return c.identity.empty() && std::count(c.name.begin(), c.name.end(), ':') == 3;
  });
  // Every record a choice could mean, in input order.
  genotypes::MarkerBlock found;
  found.samples = reader.samples().size();
  genotypes::MarkerBlock block;
  const genotypes::MarkerFilter keep = [&](const genotypes::Marker& m) {
    return wanted.count(m.name) != 0 || (by_identity && wanted.count(identity_of(m)) != 0);
  };
  while (reader.read_block(block, kBlock, keep)) {
    found.markers.insert(found.markers.end(), block.markers.begin(), block.markers.end());
    found.indices.insert(found.indices.end(), block.indices.begin(), block.indices.end());
    found.codes.insert(found.codes.end(), block.codes.begin(), block.codes.end());
  }
  genotypes::GenotypeTable table{reader.samples(), {}, {}};
  table.block.samples = found.samples;
  for (const MarkerChoice& choice : chosen) {
    std::vector<size_t> rows;
    for (size_t m = 0; m < found.size(); ++m)
      if (picks(choice, found.markers[m])) rows.push_back(m);
    // A table whose alleles differ from the input's (written by hand) picks
    // by name.
    if (rows.empty() && !choice.identity.empty())
      for (size_t m = 0; m < found.size(); ++m)
        if (found.markers[m].name == choice.name) rows.push_back(m);
    if (rows.empty() && choice.identity.empty())
      for (size_t m = 0; m < found.size(); ++m)
        if (identity_of(found.markers[m]) == choice.name) rows.push_back(m);
    if (rows.empty()) {
      table.not_found.push_back(choice.name);
      continue;
    }
    if (rows.size() > 1) {
      std::vector<std::string> identities;
      for (const size_t m : rows) identities.push_back(identity_of(found.markers[m]));
      throw inconsistent_file(source, "marker " + choice.name + " names " + std::to_string(rows.size()) +
                                          " records (CHR:BP:A1:A2 " + listed(identities) +
                                          "); give the one to analyse as CHR:BP:A1:A2");
    }
    const size_t m = rows.front();
    table.block.markers.push_back(found.markers[m]);
    table.block.indices.push_back(found.indices[m]);
    const auto codes = found.codes_of(m);
    table.block.codes.insert(table.block.codes.end(), codes.begin(), codes.end());
  }
  return table;
}

}  // namespace snp
