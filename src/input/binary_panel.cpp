#include "input/binary_panel.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <ostream>
#include <vector>

#include "base/errors.h"

namespace snp {
namespace {

constexpr char kMagic[8] = {'S', 'N', 'P', 'H', 'A', 'P', 'B', 1};
constexpr std::uint64_t kHeaderBytes = 24;

void put_word(std::ostream& out, std::uint64_t value) {
  char bytes[8];
  for (int k = 0; k < 8; ++k) bytes[k] = static_cast<char>((value >> (8 * k)) & 0xFF);
  out.write(bytes, 8);
}

std::uint64_t get_word(const unsigned char* bytes) {
  std::uint64_t value = 0;
  for (int k = 7; k >= 0; --k) value = value << 8 | bytes[k];
  return value;
}

[[noreturn]] void bad_file(const std::string& path, const std::string& what) {
  throw InputError(InputProblem::malformed, "Error: " + path + ": " + what + "\n");
}

}  // namespace

bool is_binary_panel(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char start[8] = {};
  return in.read(start, 8) && std::memcmp(start, kMagic, 8) == 0;
}

void write_binary_panel(std::ostream& out, int haplotypes, int markers,
                        const std::function<void(int, std::int8_t*)>& codes) {
  const size_t H = static_cast<size_t>(haplotypes), words = (H + 63) / 64;
  out.write(kMagic, 8);
  put_word(out, H);
  put_word(out, static_cast<std::uint64_t>(markers));
  std::vector<std::int8_t> column(H);
  std::vector<std::uint64_t> bits(2 * words);
  for (int m = 0; m < markers; ++m) {
    codes(m, column.data());
    std::fill(bits.begin(), bits.end(), 0);
    for (size_t h = 0; h < H; ++h) {
      const std::uint64_t bit = std::uint64_t{1} << (h % 64);
      if (column[h] == 1) bits[h / 64] |= bit;
      if (column[h] < 0) bits[words + h / 64] |= bit;
    }
    for (const std::uint64_t word : bits) put_word(out, word);
  }
}

CodeMatrix read_binary_haplotypes(const std::string& path, int marker_count, int haplotype_count, int first, int end) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError(InputProblem::cannot_open, "find error for " + path + " \n", Channel::standard_output);
  unsigned char header[kHeaderBytes];
  if (!in.read(reinterpret_cast<char*>(header), kHeaderBytes) || std::memcmp(header, kMagic, 8) != 0)
    bad_file(path, "expected a binary haplotype file header");
  const std::uint64_t stored_haplotypes = get_word(header + 8), stored_markers = get_word(header + 16);
  if (stored_haplotypes < static_cast<std::uint64_t>(haplotype_count) ||
      stored_markers < static_cast<std::uint64_t>(marker_count))
    bad_file(path, "expected " + std::to_string(haplotype_count) + " haplotypes and " + std::to_string(marker_count) +
                       " markers, found " + std::to_string(stored_haplotypes) + " and " +
                       std::to_string(stored_markers));
  in.seekg(0, std::ios::end);
  const std::uint64_t size = static_cast<std::uint64_t>(in.tellg()), body = size - kHeaderBytes;
  // The counts are checked against the file's size by division, so that no
  // product of counts a damaged header gives can overflow.
  if (stored_haplotypes == 0 || stored_haplotypes / 8 > body)
    bad_file(path, "the header's " + std::to_string(stored_haplotypes) + " haplotypes do not fit its " +
                       std::to_string(size) + " bytes");
  const std::uint64_t words = (stored_haplotypes + 63) / 64, record = 16 * words;
  if (body % record != 0 || body / record != stored_markers)
    bad_file(path, "expected " + std::to_string(stored_markers) + " markers of " + std::to_string(record) +
                       " bytes after the header, found " + std::to_string(size) + " bytes in all");
  if (end < 0 || end > marker_count) end = marker_count;
  first = std::clamp(first, 0, end);
  CodeMatrix haplotypes(haplotype_count, marker_count);
  if (first == end) return haplotypes;
  // The range in one read; each byte of the two bit sets gives the codes of
  // eight haplotypes at once.
  std::vector<unsigned char> bytes(static_cast<size_t>(static_cast<std::uint64_t>(end - first) * record));
  in.seekg(static_cast<std::streamoff>(kHeaderBytes + static_cast<std::uint64_t>(first) * record));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
    bad_file(path, "cannot read markers " + std::to_string(first + 1) + " to " + std::to_string(end));
  std::uint64_t spread[256];
  for (unsigned b = 0; b < 256; ++b) {
    spread[b] = 0;
    for (unsigned k = 0; k < 8; ++k) spread[b] |= static_cast<std::uint64_t>(b >> k & 1) << (8 * k);
  }
  const size_t H = static_cast<size_t>(haplotype_count), set_bytes = static_cast<size_t>(record / 2);
  for (int m = first; m < end; ++m) {
    const unsigned char* ones = &bytes[static_cast<size_t>(m - first) * static_cast<size_t>(record)];
    const unsigned char* unknown = ones + set_bytes;
    std::int8_t* column = haplotypes.column(m);
    for (size_t byte = 0; 8 * byte < H; ++byte) {
      const std::uint64_t u = spread[unknown[byte]];
      const std::uint64_t codes = (spread[ones[byte]] & ~u) | (u * 0xFF);  // unknown: every bit of the byte, -1
      unsigned char eight[8];
      for (int k = 0; k < 8; ++k) eight[k] = static_cast<unsigned char>(codes >> (8 * k));
      std::memcpy(column + 8 * byte, eight, std::min<size_t>(8, H - 8 * byte));
    }
  }
  return haplotypes;
}

}  // namespace snp
