// A kept marker set of the search with the merging of its genotype classes
// into risk groups, the array the search keeps them in, and their records
// in the store file.
#pragma once

#include <cstdint>
#include <fstream>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/search/bit_set.h"

namespace snp {

class BestClusterInformation {
 public:
  BestClusterInformation(unsigned k, unsigned G, int N);

  unsigned ncode;           // genotype-class slots: 3^k + 1
  int nmarker_total;        // markers the set was drawn from
  unsigned Nozerogroupnum;  // groups that received individuals (at most G)
  unsigned nmarker;         // k
  int setrank;              // rank of the set among the k-subsets, from 1
  unsigned ngroup;          // G
  std::vector<BitSet> Tindex;              // per group: the slots it holds
  std::vector<unsigned> GenotypeCode;      // per slot: its genotype class
  std::vector<double> GroupFrequency;      // per group: share of the sample
  std::vector<double> GroupAverage;        // per group: share above the mean

  // True when the individual with genotype class `code` falls in group g.
  bool in_group(unsigned g, unsigned code) const;

  // Appends record n to `file`; returns 1 when written, 0 when the file
  // cannot be opened for appending.
  int Store(const std::string& file, int n) const;
  // Reads record n of `file` into a new object; null when a tag is missing.
  static std::unique_ptr<BestClusterInformation> ReStore(const std::string& file, int n);
  void ShowMemberInGroup(std::ostream& out) const;

  friend bool operator==(const BestClusterInformation&, const BestClusterInformation&) = default;
};

// The kept sets of one search, at most `capacity` of them.
class BestClusterInformationArray {
 public:
  explicit BestClusterInformationArray(int capacity) : capacity_(capacity < 0 ? 0 : capacity) {}
  int capacity() const { return capacity_; }
  int count() const { return static_cast<int>(entries_.size()); }
  // False (and nothing kept) when the array is full.
  bool append(BestClusterInformation record);
  const BestClusterInformation& operator[](int n) const { return entries_[static_cast<size_t>(n)]; }

 private:
  int capacity_;
  std::vector<BestClusterInformation> entries_;
};

// An input file in which tags are searched forward from the end of the last
// one found.
class TagReader {
 public:
  explicit TagReader(const std::string& path) : in_(path, std::ios::binary) {}
  bool is_open() const { return in_.is_open(); }
  // Position just after the next occurrence of `pattern` at or after the
  // remembered position, which then moves there; 0 when there is none (the
  // stream then stays at its end and later searches fail too).
  std::streamoff find(std::string_view pattern);
  std::istream& stream() { return in_; }

 private:
  std::ifstream in_;
  std::streamoff position_ = 0;
};

// "<number n>": the opening tag of record n.
std::string record_tag(int n);

}  // namespace snp
