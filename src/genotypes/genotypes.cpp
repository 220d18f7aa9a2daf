#include "genotypes/genotypes.h"

#include <algorithm>

namespace snp::genotypes {

GroupCounts count_groups(std::span<const std::int8_t> codes, std::span<const std::uint8_t> groups) {
  // Per group and code; -1 lands on entry 3 as its low two bits. Samples
  // of other groups are tallied in a third row that is dropped.
  std::array<std::array<int, 4>, 3> tally{};
  for (size_t s = 0; s < codes.size(); ++s)
    ++tally[std::min<std::uint8_t>(groups[s], 2)][static_cast<std::uint8_t>(codes[s]) & 3u];
  return GroupCounts{{tally[0], tally[1]}};
}

bool GenotypeReader::count_block(MarkerBlock& block, std::vector<GroupCounts>& counts, size_t limit,
                                 std::span<const std::uint8_t> groups) {
  counts.clear();
  if (!read_block(block, limit)) return false;
  for (size_t m = 0; m < block.size(); ++m) counts.push_back(count_groups(block.codes_of(m), groups));
  block.codes.clear();
  return true;
}

void for_each_marker(GenotypeReader& reader,
                     const std::function<void(long index, const Marker&, std::span<const std::int8_t> codes)>& each,
                     size_t block_size) {
  MarkerBlock block;
  while (reader.read_block(block, block_size))
    for (size_t m = 0; m < block.size(); ++m) each(block.indices[m], block.markers[m], block.codes_of(m));
}

namespace {

void append(MarkerBlock& table, const MarkerBlock& block) {
  table.markers.insert(table.markers.end(), block.markers.begin(), block.markers.end());
  table.indices.insert(table.indices.end(), block.indices.begin(), block.indices.end());
  table.codes.insert(table.codes.end(), block.codes.begin(), block.codes.end());
}

constexpr size_t kTableBlock = 4096;

}  // namespace

GenotypeTable read_table(GenotypeReader& reader) {
  GenotypeTable table{reader.samples(), {}, {}};
  table.block.samples = reader.samples().size();
  MarkerBlock block;
  while (reader.read_block(block, kTableBlock)) append(table.block, block);
  return table;
}

GenotypeTable read_table(GenotypeReader& reader, const std::vector<std::string>& names) {
  std::unordered_set<std::string> asked(names.begin(), names.end());
  std::unordered_set<std::string> found;
  GenotypeTable table{reader.samples(), {}, {}};
  table.block.samples = reader.samples().size();
  const MarkerFilter wanted = [&](const Marker& m) { return asked.count(m.name) != 0 && !found.count(m.name); };
  MarkerBlock block;
  while (reader.read_block(block, kTableBlock, [&](const Marker& m) {
    if (!wanted(m)) return false;
    found.insert(m.name);
    return true;
  }))
    append(table.block, block);
  std::unordered_set<std::string> listed;
  for (const auto& name : names)
    if (!found.count(name) && listed.insert(name).second) table.not_found.push_back(name);
  return table;
}

}  // namespace snp::genotypes
