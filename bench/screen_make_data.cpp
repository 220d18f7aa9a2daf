// Generates a genome-wide case/control data set for the snp-screen
// benchmark, deterministically from a seed:
//   OUTDIR/CaseAndControlData.txt    status, then one code per marker (blanks between)
//   OUTDIR/Chromosome_SNP_Length.txt marker counts of chromosomes 1..26
//   OUTDIR/screen.bed/.bim/.fam      the same genotypes in PLINK binary format
//   OUTDIR/associated.txt            the markers given an effect (0-based)
// Usage: screen_make_data OUTDIR [SAMPLES CASES MARKERS ASSOCIATED SEED]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::uint64_t splitmix(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

double unit(std::uint64_t bits) { return static_cast<double>(bits >> 11) * 0x1.0p-53; }

struct Design {
  int samples, cases, markers, associated;
  std::uint64_t seed;
  std::vector<std::uint8_t> is_case;      // per individual
  std::vector<std::uint32_t> control_freq;  // per marker, counted-allele frequency * 2^24
  std::vector<std::uint32_t> case_freq;

  // -1 (about 1%), or the copies of the counted allele.
  int genotype(int i, int j) const {
    const std::uint64_t h = splitmix(seed ^ (static_cast<std::uint64_t>(i) * 0x100000001b3ULL + j) * 0x9e37ULL);
    if ((h >> 48) < 655) return -1;
    const std::uint32_t f = is_case[i] ? case_freq[j] : control_freq[j];
    return ((h & 0xffffff) < f) + (((h >> 24) & 0xffffff) < f);
  }
};

Design make_design(int samples, int cases, int markers, int associated, std::uint64_t seed) {
  Design d{samples, cases, markers, associated, seed, {}, {}, {}};
  d.is_case.assign(samples, 0);
  // A deterministic shuffle of the statuses.
  std::vector<int> order(samples);
  for (int i = 0; i < samples; ++i) order[i] = i;
  for (int i = samples - 1; i > 0; --i) std::swap(order[i], order[splitmix(seed + 17 + i) % (i + 1)]);
  for (int k = 0; k < cases; ++k) d.is_case[order[k]] = 1;
  d.control_freq.resize(markers);
  d.case_freq.resize(markers);
  const int spacing = associated > 0 ? markers / associated : markers + 1;
  for (int j = 0; j < markers; ++j) {
    const double f = 0.02 + 0.48 * unit(splitmix(seed * 31 + j));
    double fc = f;
    if (associated > 0 && j % spacing == spacing / 2 && j / spacing < associated) fc = f + (0.5 - f) * 0.6 + 0.05;
    d.control_freq[j] = static_cast<std::uint32_t>(f * (1 << 24));
    d.case_freq[j] = static_cast<std::uint32_t>(fc * (1 << 24));
  }
  return d;
}

void write_text(const Design& d, const std::string& path) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) { std::perror(path.c_str()); std::exit(1); }
  std::string line;
  for (int i = 0; i < d.samples; ++i) {
    line.clear();
    line += d.is_case[i] ? '1' : '0';
    for (int j = 0; j < d.markers; ++j) {
      const int g = d.genotype(i, j);
      line += ' ';
      if (g < 0) line += "-1"; else line += static_cast<char>('0' + g);
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), out);
  }
  if (std::fclose(out) != 0) { std::perror(path.c_str()); std::exit(1); }
}

// 22 chromosomes share the markers; 10 and 11 are listed one higher, as
// the reader lowers them by one.
std::vector<int> chromosome_sizes(int markers) {
  std::vector<int> sizes(27, 0);
  for (int c = 1; c <= 22; ++c) sizes[c] = markers / 22 + (c <= markers % 22);
  return sizes;
}

void write_plink(const Design& d, const std::string& stem) {
  std::ofstream fam(stem + ".fam");
  for (int i = 0; i < d.samples; ++i) fam << "F" << i << " I" << i << " 0 0 1 " << (d.is_case[i] ? 2 : 1) << "\n";
  std::ofstream bim(stem + ".bim");
  const auto sizes = chromosome_sizes(d.markers);
  int c = 1, locus = 0;
  for (int j = 0; j < d.markers; ++j) {
    while (locus == sizes[c]) { ++c; locus = 0; }
    ++locus;
    bim << c << "\tm" << j << "\t0\t" << locus * 1000 << "\tA\tG\n";
  }
  std::ofstream bed(stem + ".bed", std::ios::binary);
  const char magic[3] = {0x6c, 0x1b, 0x01};
  bed.write(magic, 3);
  static const std::uint8_t code[4] = {0b01, 0b11, 0b10, 0b00};  // missing, 0, 1, 2 copies of A
  std::vector<char> row((d.samples + 3) / 4);
  for (int j = 0; j < d.markers; ++j) {
    std::fill(row.begin(), row.end(), 0);
    for (int i = 0; i < d.samples; ++i) row[i / 4] |= static_cast<char>(code[d.genotype(i, j) + 1] << (2 * (i % 4)));
    bed.write(row.data(), static_cast<std::streamsize>(row.size()));
  }
  if (!fam || !bim || !bed) { std::cerr << "cannot write " << stem << ".*\n"; std::exit(1); }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) { std::cerr << "usage: screen_make_data OUTDIR [SAMPLES CASES MARKERS ASSOCIATED SEED]\n"; return 2; }
  const std::string dir = std::string(argv[1]) + "/";
  const auto arg = [&](int k, long fallback) { return argc > k ? std::atol(argv[k]) : fallback; };
  const Design d = make_design(static_cast<int>(arg(2, 547)), static_cast<int>(arg(3, 276)),
                               static_cast<int>(arg(4, 541325)), static_cast<int>(arg(5, 50)),
                               static_cast<std::uint64_t>(arg(6, 20240601)));
  write_text(d, dir + "CaseAndControlData.txt");
  std::ofstream lengths(dir + "Chromosome_SNP_Length.txt");
  const auto sizes = chromosome_sizes(d.markers);
  for (int c = 1; c <= 26; ++c) lengths << sizes[c] + (c == 10 || c == 11) << (c % 13 ? " " : "\n");
  write_plink(d, dir + "screen");
  std::ofstream list(dir + "associated.txt");
  const int spacing = d.associated > 0 ? d.markers / d.associated : d.markers + 1;
  for (int j = 0; j < d.markers; ++j)
    if (d.associated > 0 && j % spacing == spacing / 2 && j / spacing < d.associated) list << j << "\n";
  return 0;
}
