// PLINK 1 binary filesets: .fam and .bim as text, the .bed as one record of
// ceil(samples / 4) bytes per marker after three magic bytes, two bits per
// sample from the low bits up: 00 two copies of A1, 01 missing, 10 one
// copy, 11 none.
#include <array>
#include <bit>
#include <cstdint>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>

#include "base/errors.h"
#include "base/parallel.h"
#include "base/text_source.h"
#include "genotypes/genotypes.h"
#include "genotypes/text_fields.h"

namespace snp::genotypes {
namespace {

constexpr std::array<unsigned char, 3> kMagic = {0x6c, 0x1b, 0x01};

// Codes of the four samples of each .bed byte.
constexpr std::array<std::array<std::int8_t, 4>, 256> kDecode = [] {
  constexpr std::array<std::int8_t, 4> code = {2, kMissingCode, 1, 0};
  std::array<std::array<std::int8_t, 4>, 256> table{};
  for (size_t byte = 0; byte < 256; ++byte)
    for (size_t s = 0; s < 4; ++s) table[byte][s] = code[(byte >> (2 * s)) & 3];
  return table;
}();

static_assert(std::endian::native == std::endian::little, "the .bed records are read as little-endian words");

// Blocks of at least this many markers are counted by two threads.
constexpr size_t kMarkersPerThread = 2048;

constexpr std::uint64_t kLowBits = 0x5555555555555555ULL;

// Counts of one packed record over 64-bit words: per sample the low bit
// `lo` and high bit `hi`: 11 no copy of A1, 10 one, 01 missing, 00 two
// (the rest of the group). masks[g] has the low bit of every sample of
// group g set.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("popcnt", "default")))
#endif
void count_words(const std::uint64_t* words, size_t n, const std::uint64_t* mask0, const std::uint64_t* mask1,
                 std::array<int, 2>* zero, std::array<int, 2>* one, std::array<int, 2>* missing) {
  std::array<int, 2> z{}, o{}, m{};
  for (size_t w = 0; w < n; ++w) {
    const std::uint64_t lo = words[w] & kLowBits;
    const std::uint64_t hi = (words[w] >> 1) & kLowBits;
    const std::uint64_t none = lo & hi, het = hi & ~lo, miss = lo & ~hi;
    z[0] += std::popcount(none & mask0[w]);
    o[0] += std::popcount(het & mask0[w]);
    m[0] += std::popcount(miss & mask0[w]);
    z[1] += std::popcount(none & mask1[w]);
    o[1] += std::popcount(het & mask1[w]);
    m[1] += std::popcount(miss & mask1[w]);
  }
  *zero = z;
  *one = o;
  *missing = m;
}

std::vector<Sample> read_fam(const std::string& path) {
  const FileText text = read_text_file(path);
  std::vector<Sample> samples;
  for_each_line(text.view(), [&](long line, std::string_view content) {
    const auto fields = split_fields(content);
    if (fields.empty()) return;
    if (fields.size() != 6)
      throw malformed_line(path, line, "expected 6 fields (FID IID father mother sex phenotype), found " +
                                           std::to_string(fields.size()));
    Sample s;
    s.family = fields[0];
    s.id = fields[1];
    s.sex = fields[4] == "1" ? 1 : fields[4] == "2" ? 2 : 0;
    s.phenotype = fields[5];
    samples.push_back(std::move(s));
  });
  if (samples.empty()) throw inconsistent_file(path, "no samples");
  return samples;
}

// The .bim, kept as its text with the start of every marker's line: the
// markers are made as they are read.
class BimFile {
 public:
  explicit BimFile(const std::string& path) : path_(path), text_(read_text_file(path)) {
    const std::string_view text = text_.view();
    for_each_line(text, [&](long line, std::string_view content) {
      std::array<std::string_view, 6> fields;
      const size_t count = fields_of(content, fields);
      if (count == 0) return;
      if (count != 6)
        throw malformed_line(path, line, "expected 6 fields (chromosome SNP cM position A1 A2), found " +
                                             (count > 6 ? std::string("more than 6") : std::to_string(count)));
      if (!parse_int(fields[3])) throw malformed_line(path, line, "position " + shown(fields[3]) + " is no whole number");
      starts_.push_back(static_cast<size_t>(content.data() - text.data()));
    });
    if (starts_.empty()) throw inconsistent_file(path, "no markers");
  }
  size_t size() const { return starts_.size(); }
  Marker marker(size_t m) const {
    const std::string_view text = text_.view().substr(starts_[m]);
    std::array<std::string_view, 6> f;
    fields_of(text.substr(0, text.find('\n')), f);
    return Marker{std::string(f[0]), std::string(f[1]), *parse_int(f[3]), std::string(f[4]), std::string(f[5])};
  }

 private:
  // Up to six fields of a line (blanks or tabs between them, a final '\r'
  // dropped); returns how many there are, 7 for more than six.
  static size_t fields_of(std::string_view line, std::array<std::string_view, 6>& fields) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t count = 0, p = 0;
    while (p < line.size()) {
      while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
      const size_t start = p;
      while (p < line.size() && line[p] != ' ' && line[p] != '\t') ++p;
      if (p == start) break;
      if (count == fields.size()) return count + 1;
      fields[count++] = line.substr(start, p - start);
    }
    return count;
  }

  std::string path_;
  FileText text_;
  std::vector<size_t> starts_;
};

class BedReader final : public GenotypeReader {
 public:
  explicit BedReader(const std::string& prefix) : bed_path_(prefix + ".bed") {
    path_ = bed_path_;
    samples_ = read_fam(prefix + ".fam");
    markers_ = std::make_unique<BimFile>(prefix + ".bim");
    record_bytes_ = (samples_.size() + 3) / 4;
    file_ = std::fopen(bed_path_.c_str(), "rb");
    if (!file_)
      throw InputError(InputProblem::cannot_open,
                       "Error: cannot open " + bed_path_ + " (" + std::strerror(errno) + ")\n");
    std::array<unsigned char, 3> magic{};
    const size_t got = std::fread(magic.data(), 1, magic.size(), file_);
    if (got < 2 || magic[0] != kMagic[0] || magic[1] != kMagic[1])
      throw inconsistent_file(bed_path_, "not a PLINK 1 binary genotype file (it does not start with the bytes 6c 1b)");
    if (got < 3 || magic[2] != kMagic[2])
      throw inconsistent_file(bed_path_, "not in SNP-major mode (third byte 01); write it again with PLINK 1.9 --make-bed");
    std::error_code error;
    const auto size = std::filesystem::file_size(bed_path_, error);
    const auto expected = kMagic.size() + markers_->size() * record_bytes_;
    if (!error && size != expected)
      throw inconsistent_file(bed_path_, std::to_string(size) + " bytes, expected " + std::to_string(expected) +
                                             " (3 + " + std::to_string(markers_->size()) + " markers of " + prefix +
                                             ".bim x " + std::to_string(record_bytes_) + " bytes for the " +
                                             std::to_string(samples_.size()) + " samples of " + prefix + ".fam)");
  }
  long marker_count() const override { return static_cast<long>(markers_->size()); }
  ~BedReader() override { std::fclose(file_); }
  BedReader(const BedReader&) = delete;
  BedReader& operator=(const BedReader&) = delete;

  bool read_block(MarkerBlock& block, size_t limit, const MarkerFilter& wanted) override {
    block.clear();
    block.samples = samples_.size();
    const size_t n = markers_->size();
    while (next_ < n && block.size() < limit) {
      // A run of consecutive wanted markers is read at once.
      size_t first = next_;
      if (wanted)
        while (first < n && !wanted(markers_->marker(first))) ++first;
      size_t last = first;
      while (last < n && block.size() + (last - first) < limit && (last == first || !wanted || wanted(markers_->marker(last))))
        ++last;
      if (first < last) read_run(block, first, last);
      next_ = last;
    }
    return block.size() > 0;
  }

 bool count_block(MarkerBlock& block, std::vector<GroupCounts>& counts, size_t limit,
                   std::span<const std::uint8_t> groups) override {
    block.clear();
    counts.clear();
    block.samples = samples_.size();
    const size_t first = next_;
    const size_t last = first + std::min(limit, markers_->size() - first);
    if (first == last) return false;
    read_records(first, last);
    next_ = last;
    // Low bit of each sample of each group, 32 samples to a word.
    const size_t words = (record_bytes_ + 7) / 8;
    std::array<std::vector<std::uint64_t>, 2> masks{std::vector<std::uint64_t>(words), std::vector<std::uint64_t>(words)};
    std::array<int, 2> totals{};
    for (size_t s = 0; s < samples_.size(); ++s) {
      if (groups[s] > 1) continue;
      masks[groups[s]][s / 32] |= std::uint64_t{1} << (2 * (s % 32));
      ++totals[groups[s]];
    }
    const size_t n = last - first;
    counts.resize(n);
    block.markers.resize(n);
    block.indices.resize(n);
    const auto count_part = [&](size_t from, size_t to) {
      std::vector<std::uint64_t> record(words);
      for (size_t k = from; k < to; ++k) {
        record.back() = 0;
        std::memcpy(record.data(), buffer_.data() + k * record_bytes_, record_bytes_);
        std::array<int, 2> zero{}, one{}, missing{};
        count_words(record.data(), words, masks[0].data(), masks[1].data(), &zero, &one, &missing);
        for (size_t g = 0; g < 2; ++g)
          counts[k].group[g] = {zero[g], one[g], totals[g] - zero[g] - one[g] - missing[g], missing[g]};
        block.markers[k] = markers_->marker(first + k);
        block.indices[k] = static_cast<long>(first + k);
      }
    };
    // Large blocks are shared with a second thread.
    const int threads = n >= kMarkersPerThread ? std::min(2, hardware_threads()) : 1;
    parallel_for(threads, threads, [&](int part, int) {
      const auto p = static_cast<size_t>(part);
      count_part(n * p / static_cast<size_t>(threads), n * (p + 1) / static_cast<size_t>(threads));
    });
    return true;
  }

 private:
  // Reads the records of markers [first, last) into buffer_.
  void read_records(size_t first, size_t last) {
    const long offset = static_cast<long>(kMagic.size() + first * record_bytes_);
    if (offset != position_ && std::fseek(file_, offset, SEEK_SET) != 0) fail_at(first);
    buffer_.resize((last - first) * record_bytes_);
    if (std::fread(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) fail_at(first);
    position_ = offset + static_cast<long>(buffer_.size());
  }

  void read_run(MarkerBlock& block, size_t first, size_t last) {
    read_records(first, last);
    const size_t samples = samples_.size();
    const size_t full_bytes = samples / 4;
    size_t at = block.codes.size();
    block.codes.resize(at + (last - first) * samples);
    for (size_t m = first; m < last; ++m) {
      const unsigned char* record = buffer_.data() + (m - first) * record_bytes_;
      std::int8_t* out = block.codes.data() + at;
      for (size_t b = 0; b < full_bytes; ++b) std::memcpy(out + 4 * b, kDecode[record[b]].data(), 4);
      for (size_t s = 4 * full_bytes; s < samples; ++s) out[s] = kDecode[record[full_bytes]][s & 3];
      at += samples;
      block.markers.push_back(markers_->marker(m));
      block.indices.push_back(static_cast<long>(m));
    }
  }

  [[noreturn]] void fail_at(size_t marker) {
    throw InputError(InputProblem::malformed, "Error: " + bed_path_ + ": cannot read the record of marker " +
                                                  std::to_string(marker + 1) + " (" + markers_->marker(marker).name + ")\n");
  }

  std::string bed_path_;
  std::unique_ptr<BimFile> markers_;
  size_t record_bytes_ = 0;
  std::FILE* file_ = nullptr;
  long position_ = static_cast<long>(kMagic.size());
  size_t next_ = 0;
  std::vector<unsigned char> buffer_;
};

}  // namespace

std::unique_ptr<GenotypeReader> open_bed(const std::string& prefix) { return std::make_unique<BedReader>(prefix); }

}  // namespace snp::genotypes
