#include "input/binary_panel.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <ostream>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "base/errors.h"

namespace snp {
namespace {

constexpr char kMagic[8] = {'S', 'N', 'P', 'H', 'A', 'P', 'B', 2};
constexpr std::uint64_t kHeaderBytes = 24, kCountBytes = 8;

void put_bytes(std::ostream& out, std::uint64_t value, int count) {
  char bytes[8];
  for (int k = 0; k < count; ++k) bytes[k] = static_cast<char>((value >> (8 * k)) & 0xFF);
  out.write(bytes, count);
}

std::uint64_t get_bytes(const unsigned char* bytes, int count) {
  std::uint64_t value = 0;
  for (int k = count - 1; k >= 0; --k) value = value << 8 | bytes[k];
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
  put_bytes(out, H, 8);
  put_bytes(out, static_cast<std::uint64_t>(markers), 8);
  std::vector<std::int8_t> column(H);
  std::vector<std::uint64_t> bits(2 * words);
  std::vector<std::uint32_t> counts(2 * static_cast<size_t>(std::max(markers, 0)));
  for (int m = 0; m < markers; ++m) {
    codes(m, column.data());
    std::fill(bits.begin(), bits.end(), 0);
    for (size_t h = 0; h < H; ++h) {
      const std::uint64_t bit = std::uint64_t{1} << (h % 64);
      if (column[h] == 1) bits[h / 64] |= bit, ++counts[2 * static_cast<size_t>(m)];
      if (column[h] < 0) bits[words + h / 64] |= bit, ++counts[2 * static_cast<size_t>(m) + 1];
    }
    for (const std::uint64_t word : bits) put_bytes(out, word, 8);
  }
  for (const std::uint32_t count : counts) put_bytes(out, count, 4);
}

namespace {

// An opened binary file whose header and size agree.
struct CheckedFile {
  std::ifstream in;
  std::uint64_t haplotypes = 0, markers = 0, record = 0;
};

CheckedFile open_checked(const std::string& path, int marker_count, int haplotype_count) {
  CheckedFile f{std::ifstream(path, std::ios::binary)};
  if (!f.in) throw InputError(InputProblem::cannot_open, "find error for " + path + " \n", Channel::standard_output);
  unsigned char header[kHeaderBytes];
  if (!f.in.read(reinterpret_cast<char*>(header), kHeaderBytes) || std::memcmp(header, kMagic, 7) != 0)
    bad_file(path, "expected a binary haplotype file header");
  if (header[7] != kMagic[7])
    bad_file(path, "expected version " + std::to_string(kMagic[7]) + " of the binary haplotype file, found version " +
                       std::to_string(header[7]) + " (write it again with snp-convert panel --binary)");
  f.haplotypes = get_bytes(header + 8, 8), f.markers = get_bytes(header + 16, 8);
  if (f.haplotypes < static_cast<std::uint64_t>(haplotype_count) ||
      f.markers < static_cast<std::uint64_t>(marker_count))
    bad_file(path, "expected " + std::to_string(haplotype_count) + " haplotypes and " + std::to_string(marker_count) +
                       " markers, found " + std::to_string(f.haplotypes) + " and " + std::to_string(f.markers));
  f.in.seekg(0, std::ios::end);
  const std::uint64_t size = static_cast<std::uint64_t>(f.in.tellg()), body = size - kHeaderBytes;
  // The counts are checked against the file's size by division, so that no
  // product of counts a damaged header gives can overflow.
  if (f.haplotypes == 0 || f.haplotypes / 8 > body)
    bad_file(path, "the header's " + std::to_string(f.haplotypes) + " haplotypes do not fit its " +
                       std::to_string(size) + " bytes");
  f.record = 16 * ((f.haplotypes + 63) / 64);
  if (body % (f.record + kCountBytes) != 0 || body / (f.record + kCountBytes) != f.markers)
    bad_file(path, "expected " + std::to_string(f.markers) + " markers of " + std::to_string(f.record + kCountBytes) +
                       " bytes after the header, found " + std::to_string(size) + " bytes in all");
  return f;
}

std::vector<unsigned char> read_bytes(CheckedFile& f, const std::string& path, std::uint64_t offset,
                                      std::uint64_t count, const std::string& what) {
  std::vector<unsigned char> bytes(static_cast<size_t>(count));
  f.in.seekg(static_cast<std::streamoff>(offset));
  if (!f.in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count)))
    bad_file(path, "cannot read " + what);
  return bytes;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define SNP_UNPACK_AVX512 1
// Codes of the first 64 * (haplotypes / 64) haplotypes, 64 at a time: a mask
// register takes 64 bits of the file and writes one byte per bit. Returns the
// number of bytes of the bit sets used.
__attribute__((target("avx512bw"))) size_t unpack_words_avx512(const unsigned char* ones, const unsigned char* unknown,
                                                                size_t haplotypes, std::int8_t* column) {
  const __m512i one = _mm512_set1_epi8(1), minus_one = _mm512_set1_epi8(-1);
  size_t byte = 0;
  for (; 8 * (byte + 8) <= haplotypes; byte += 8) {
    std::uint64_t one_bits, unknown_bits;
    std::memcpy(&one_bits, ones + byte, 8);  // little-endian: haplotype 8 byte + k at bit 8 byte + k
    std::memcpy(&unknown_bits, unknown + byte, 8);
    const __m512i codes = _mm512_mask_mov_epi8(_mm512_maskz_mov_epi8(one_bits, one), unknown_bits, minus_one);
    _mm512_storeu_si512(column + 8 * byte, codes);
  }
  return byte;
}

bool has_avx512bw() {
  static const bool available = __builtin_cpu_supports("avx512bw");
  return available;
}
#endif

// Codes of `haplotypes` haplotypes from one marker's two bit sets: each byte
// of them gives eight codes at once.
void unpack_marker(const unsigned char* ones, const unsigned char* unknown, size_t haplotypes, std::int8_t* column) {
  static constexpr auto kSpread = [] {
    std::array<std::uint64_t, 256> spread{};
    for (unsigned b = 0; b < 256; ++b)
      for (unsigned k = 0; k < 8; ++k) spread[b] |= static_cast<std::uint64_t>(b >> k & 1) << (8 * k);
    return spread;
  }();
  const size_t full = haplotypes / 8;
  auto codes_of = [&](size_t byte) {
    const std::uint64_t u = kSpread[unknown[byte]];
    return (kSpread[ones[byte]] & ~u) | (u * 0xFF);  // unknown: every bit of the byte, -1
  };
  size_t byte = 0;
#ifdef SNP_UNPACK_AVX512
  if (has_avx512bw()) byte = unpack_words_avx512(ones, unknown, haplotypes, column);
#endif
#ifdef __SSE2__
  // Sixteen haplotypes at a time: each of two bytes spread over eight lanes,
  // every lane testing its own bit.
  const __m128i lane_bits = _mm_set_epi8(-128, 64, 32, 16, 8, 4, 2, 1, -128, 64, 32, 16, 8, 4, 2, 1);
  const __m128i low_bit = _mm_set1_epi8(1);
  auto lanes = [&](const unsigned char* two) {
    std::uint16_t pair;
    std::memcpy(&pair, two, 2);
    __m128i x = _mm_cvtsi32_si128(pair);
    x = _mm_unpacklo_epi8(x, x);
    x = _mm_unpacklo_epi16(x, x);
    x = _mm_unpacklo_epi32(x, x);
    return _mm_cmpeq_epi8(_mm_and_si128(x, lane_bits), lane_bits);  // 0xFF where the bit is set
  };
  for (; byte + 2 <= full; byte += 2) {
    const __m128i one = lanes(ones + byte), missing = lanes(unknown + byte);
    const __m128i codes = _mm_or_si128(_mm_and_si128(one, low_bit), missing);  // unknown: -1
    _mm_storeu_si128(reinterpret_cast<__m128i*>(column + 8 * byte), codes);
  }
#endif
  for (; byte < full; ++byte) {
    const std::uint64_t codes = codes_of(byte);
    std::memcpy(column + 8 * byte, &codes, 8);  // little-endian: haplotype 8 byte + k at byte k
  }
  if (full * 8 < haplotypes) {
    const std::uint64_t codes = codes_of(full);
    for (size_t h = full * 8; h < haplotypes; ++h) column[h] = static_cast<std::int8_t>(codes >> (8 * (h - full * 8)));
  }
}

}  // namespace

CodeMatrix read_binary_haplotypes(const std::string& path, int marker_count, int haplotype_count, int first, int end) {
  CheckedFile f = open_checked(path, marker_count, haplotype_count);
  if (end < 0 || end > marker_count) end = marker_count;
  first = std::clamp(first, 0, end);
  CodeMatrix haplotypes;
  haplotypes.allocate_unfilled(haplotype_count, end, first);
  // Read in batches of markers through a buffer that stays in the cache.
  const size_t record = static_cast<size_t>(f.record);
  const int batch = static_cast<int>(std::max<size_t>(1, (size_t{1} << 18) / record));
  std::vector<unsigned char, CellAllocator<unsigned char>> bytes;
  f.in.seekg(static_cast<std::streamoff>(kHeaderBytes + static_cast<std::uint64_t>(first) * f.record));
  for (int from = first; from < end; from += batch) {
    const int to = std::min(end, from + batch);
    bytes.resize(static_cast<size_t>(to - from) * record);
    if (!f.in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
      bad_file(path, "cannot read markers " + std::to_string(from + 1) + " to " + std::to_string(to));
    for (int m = from; m < to; ++m) {
      const unsigned char* ones = &bytes[static_cast<size_t>(m - from) * record];
      unpack_marker(ones, ones + record / 2, static_cast<size_t>(haplotype_count), haplotypes.column(m));
    }
  }
  return haplotypes;
}

std::optional<std::vector<int>> read_binary_code_sums(const std::string& path, int marker_count, int haplotype_count) {
  CheckedFile f = open_checked(path, marker_count, haplotype_count);
  if (f.haplotypes != static_cast<std::uint64_t>(haplotype_count)) return std::nullopt;
  const std::vector<unsigned char> bytes =
      read_bytes(f, path, kHeaderBytes + f.markers * f.record, static_cast<std::uint64_t>(marker_count) * kCountBytes,
                 "the allele counts");
  std::vector<int> sums(static_cast<size_t>(marker_count));
  for (size_t m = 0; m < sums.size(); ++m) {
    const std::uint64_t ones = get_bytes(&bytes[m * kCountBytes], 4), unknown = get_bytes(&bytes[m * kCountBytes + 4], 4);
    if (ones + unknown > f.haplotypes)
      bad_file(path, "marker " + std::to_string(m + 1) + " counts " + std::to_string(ones) + " alleles 1 and " +
                         std::to_string(unknown) + " unknown ones among " + std::to_string(f.haplotypes) +
                         " haplotypes");
    sums[m] = static_cast<int>(ones) - static_cast<int>(unknown);
  }
  return sums;
}

}  // namespace snp
