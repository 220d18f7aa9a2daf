// Generates a structured case/control study for the regression benchmark,
// deterministically from a seed: two subpopulations of equal size whose
// allele frequencies differ, each made of three demes that drift apart by
// different amounts (five axes of structure in all), case status more frequent in the second one
// and raised by age, sex and a set of planted markers, 1% missing calls,
// and a few rare markers whose minor allele only cases carry.
//   OUTDIR/study.bed/.bim/.fam   hard calls (the .fam's status 2 case, 1 control)
//   OUTDIR/study.vcf             the first VCF_MARKERS markers: GT and DS (the
//                                call plus noise, within 0..2)
//   OUTDIR/covar.txt             FID IID age sex site c4 c5
//   OUTDIR/planted.txt           names of the planted and separating markers
// Usage: logistic_make_data OUTDIR [SAMPLES MARKERS VCF_MARKERS SEED]
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Random {
  std::uint64_t state;
  std::uint64_t next() {
    state += 0x9e3779b97f4a7c15ULL;
    std::uint64_t x = state;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
  }
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  double normal() {
    const double u = std::max(unit(), 1e-300);
    return std::sqrt(-2 * std::log(u)) * std::cos(6.283185307179586 * unit());
  }
};

constexpr int kPlanted = 20;
constexpr int kSeparating = 4;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: logistic_make_data OUTDIR [SAMPLES MARKERS VCF_MARKERS SEED]\n");
    return 1;
  }
  const std::string out = argv[1];
  const int samples = argc > 2 ? std::atoi(argv[2]) : 2000;
  const int markers = argc > 3 ? std::atoi(argv[3]) : 20000;
  const int vcf_markers = argc > 4 ? std::atoi(argv[4]) : 2000;
  Random random{argc > 5 ? std::strtoull(argv[5], nullptr, 10) : 26};

  // Samples: population, covariates.
  constexpr int kDemes = 6;
  std::vector<int> population(samples), deme(samples);
  std::vector<double> age(samples), c4(samples), c5(samples);
  std::vector<int> sex(samples), site(samples);
  for (int s = 0; s < samples; ++s) {
    deme[s] = s % kDemes;
    population[s] = deme[s] % 2;
    age[s] = 50 + 10 * random.normal();
    sex[s] = random.unit() < 0.5;
    site[s] = random.unit() < 0.3 + 0.4 * population[s];
    c4[s] = random.normal();
    c5[s] = random.normal();
  }
  // Markers: frequencies per population; genotypes.
  std::vector<std::uint8_t> genotype(static_cast<size_t>(samples) * markers);
  std::vector<double> effect(markers, 0.0);
  for (int m = 0; m < markers; ++m) {
    const double base = 0.05 + 0.45 * random.unit();
    const double drift = 0.05 * random.normal();
    double deme_drift[kDemes];
    for (int d = 0; d < kDemes; ++d) deme_drift[d] = 0.012 * (d + 1) * random.normal();
    const bool separating = m >= kPlanted && m < kPlanted + kSeparating;
    for (int s = 0; s < samples; ++s) {
      const double p = separating ? 0 : std::clamp(base + (population[s] ? drift : -drift) + deme_drift[deme[s]], 0.005, 0.995);
      genotype[static_cast<size_t>(m) * samples + s] = static_cast<std::uint8_t>((random.unit() < p) + (random.unit() < p));
    }
    if (m < kPlanted) effect[m] = (m % 2 ? 0.35 : -0.35);
  }
  // Status: logistic in population, covariates and planted markers.
  std::vector<int> is_case(samples);
  for (int s = 0; s < samples; ++s) {
    double eta = -0.4 + 0.8 * population[s] + 0.02 * (age[s] - 50) + 0.3 * sex[s] + 0.2 * c4[s];
    for (int m = 0; m < kPlanted; ++m) eta += effect[m] * (genotype[static_cast<size_t>(m) * samples + s] - 0.5);
    is_case[s] = random.unit() < 1 / (1 + std::exp(-eta));
  }
  // Separating markers: three to six carriers, all cases.
  for (int m = kPlanted; m < kPlanted + kSeparating; ++m) {
    int carriers = 3 + m % 4;
    for (int s = 0; s < samples && carriers > 0; ++s)
      if (is_case[s] && random.unit() < 0.02) {
        genotype[static_cast<size_t>(m) * samples + s] = 1;
        --carriers;
      }
  }
  // Missing calls (3 in the packed code); the separating markers keep theirs.
  constexpr std::uint8_t kMissing = 3;
  for (int m = 0; m < markers; ++m)
    for (int s = 0; s < samples; ++s)
      if ((m < kPlanted || m >= kPlanted + kSeparating) && random.unit() < 0.01)
        genotype[static_cast<size_t>(m) * samples + s] = kMissing;

  std::ofstream fam(out + "/study.fam"), bim(out + "/study.bim"), covar(out + "/covar.txt"),
      planted(out + "/planted.txt");
  for (int s = 0; s < samples; ++s)
    fam << "f" << s << " i" << s << " 0 0 " << (sex[s] ? 1 : 2) << ' ' << (is_case[s] ? 2 : 1) << '\n';
  covar << "FID\tIID\tage\tsex\tsite\tc4\tc5\n";
  for (int s = 0; s < samples; ++s)
    covar << "f" << s << "\ti" << s << '\t' << std::round(age[s] * 10) / 10 << '\t' << sex[s] << '\t' << site[s] << '\t'
          << std::round(c4[s] * 1000) / 1000 << '\t' << std::round(c5[s] * 1000) / 1000 << '\n';
  const auto name = [](int m) { return "m" + std::to_string(m); };
  const auto chromosome = [&](int m) { return 1 + m * 10 / markers; };
  const auto position = [&](int m) { return 10000L + 25000L * (m % ((markers + 9) / 10)); };
  for (int m = 0; m < markers; ++m) bim << chromosome(m) << '\t' << name(m) << "\t0\t" << position(m) << "\tA\tG\n";
  for (int m = 0; m < kPlanted + kSeparating; ++m) planted << name(m) << '\n';

  // .bed: A1 = A, codes count A: 0 copies -> 11, 1 -> 10, 2 -> 00, missing -> 01.
  std::ofstream bed(out + "/study.bed", std::ios::binary);
  bed.put(0x6c).put(0x1b).put(0x01);
  static constexpr std::uint8_t packed[4] = {3, 2, 0, 1};
  for (int m = 0; m < markers; ++m)
    for (int s = 0; s < samples; s += 4) {
      std::uint8_t byte = 0;
      for (int k = 0; k < 4 && s + k < samples; ++k)
        byte |= static_cast<std::uint8_t>(packed[genotype[static_cast<size_t>(m) * samples + s + k]] << (2 * k));
      bed.put(static_cast<char>(byte));
    }

  // VCF: ALT = A (the counted allele), DS = call + noise.
  std::ofstream vcf(out + "/study.vcf");
  vcf << "##fileformat=VCFv4.2\n##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
         "##FORMAT=<ID=DS,Number=A,Type=Float,Description=\"ALT dosage\">\n";
  for (int c = 1; c <= 10; ++c) vcf << "##contig=<ID=" << c << ">\n";
  vcf << "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
  for (int s = 0; s < samples; ++s) vcf << "\ti" << s;
  vcf << '\n';
  char ds[16];
  for (int m = 0; m < std::min(vcf_markers, markers); ++m) {
    vcf << chromosome(m) << '\t' << position(m) << '\t' << name(m) << "\tG\tA\t.\tPASS\t.\tGT:DS";
    for (int s = 0; s < samples; ++s) {
      const int g = genotype[static_cast<size_t>(m) * samples + s];
      if (g == kMissing) {
        vcf << "\t./.:.";
        continue;
      }
      const double noisy = std::clamp(g + 0.15 * random.normal(), 0.0, 2.0);
      std::snprintf(ds, sizeof ds, "%.3f", (m >= kPlanted && m < kPlanted + kSeparating) ? g : noisy);
      vcf << '\t' << (g == 0 ? "0/0" : g == 1 ? "0/1" : "1/1") << ':' << ds;
    }
    vcf << '\n';
  }
  return 0;
}
