// Linkage-disequilibrium neighbourhood of a target reference marker.
#pragma once

#include <array>
#include <vector>

#include "input/reference_panel.h"

namespace snp {

// Up to six typed markers on each side of the target: marker1 runs from the
// farthest marker left of the target to the nearest, marker2 from the nearest
// right of it to the farthest.
struct Neighbourhood {
  int target = 0;
  std::array<int, 6> marker1{};
  std::array<int, 6> marker2{};
  int len1 = 0;
  int len2 = 0;
  // Reference marker of neighbourhood position c.
  int position_marker(int c) const { return c < len1 ? marker1[c] : marker2[c - len1]; }
  int positions() const { return len1 + len2; }
};

// r^2 between reference markers i and j over the panel's haplotypes; the
// frequencies are taken over all rows, also those with a missing allele.
double linkage_r2(const ReferencePanel& panel, int i, int j);

// The twelve typed markers around target t: the first group from the anchor
// leftwards, the second from the marker after it rightwards. List positions
// outside the typed-marker list hold no marker and are left out. `cursor`
// (a position in the list) only moves forward.
struct NeighbourhoodWindow {
  std::vector<int> first;
  std::vector<int> second;
};
NeighbourhoodWindow typed_marker_window(const std::vector<int>& typed, int& cursor, int t);

// Keeps the `initial` nearest markers, then appends candidates with r^2 > 0.3
// until the second rejection.
std::vector<int> grow_group(const std::vector<int>& slots, int initial, const ReferencePanel& panel, int t);

// Drops members with r^2 < 0.005 or more than 29999 markers away on their own
// side; when all would go, keeps the first one of largest r^2.
std::vector<int> prune_group(const std::vector<int>& group, bool left_side, const ReferencePanel& panel, int t);

// The neighbourhood of target t. Targets must ascend from call to call with
// the same cursor.
Neighbourhood choose_neighbourhood(const ReferencePanel& panel, const std::vector<int>& typed, int& cursor, int t);

}  // namespace snp
