// The snp-convert program: command line, exit statuses, and the path from a
// panel VCF and a study VCF through snp-impute.
#include <gtest/gtest.h>
#include <htslib/hts.h>
#include <htslib/vcf.h>

#include <cstdlib>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>

#include "test_support.h"
#include "vcf_fixture.h"

namespace snp::convert {
namespace {

using snp::test::ProgramRun;
using snp::test::TempDir;

ProgramRun convert(const std::vector<std::string>& args, const std::string& cwd) {
  return snp::test::run_program(SNP_CONVERT_BIN, args, cwd);
}

bool starts_with(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

TEST(ConvertProgram, HelpAndUsageErrors) {
  TempDir dir;
  const ProgramRun help = convert({"--help"}, dir.path());
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(starts_with(help.out, "Usage: snp-convert panel")) << help.out;
  EXPECT_TRUE(starts_with(convert({"panel", "--help"}, dir.path()).out, "Usage: snp-convert panel --vcf"));
  EXPECT_TRUE(starts_with(convert({"study", "--vcf", "x", "-h"}, dir.path()).out, "Usage: snp-convert study --vcf"));
  struct Case {
    std::vector<std::string> args;
    const char* first_line;
  };
  const Case cases[] = {
      {{}, "Error: missing subcommand (panel or study)"},
      {{"merge"}, "Error: unknown subcommand merge"},
      {{"--verbose"}, "Error: unknown option --verbose"},
      {{"panel", "--vcf", "p.vcf", "--out", "d", "--cases", "c"}, "Error: unknown option --cases"},
      {{"panel", "--vcf", "p.vcf", "extra", "--out", "d"}, "Error: unexpected argument extra"},
      {{"panel", "--vcf", "p.vcf"}, "Error: missing --out"},
      {{"panel", "--vcf=p.vcf", "--out"}, "Error: option --out needs a value"},
      {{"study", "--vcf", "s.vcf", "--out", "d"}, "Error: missing --cases"},
      {{"study", "--vcf", "s.vcf", "--cases", "c", "--out", "d", "--threshold", "1.5"},
       "Error: --threshold needs a number from 0 to 1, found 1.5"},
  };
  for (const Case& c : cases) {
    const ProgramRun run = convert(c.args, dir.path());
    EXPECT_EQ(run.status, 1) << c.first_line;
    EXPECT_TRUE(starts_with(run.err, std::string(c.first_line) + "\nRun snp-convert")) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

TEST(ConvertProgram, InputErrorsEndWithStatusOneAndWriteNothing) {
  TempDir dir;
  dir.write("s.vcf", test::vcf_text({"A1", "B2"}, {"7 100 rs1 A G 0/1 1/1", "8 100 rs2 A G 0/1 1/1"}));
  dir.write("ids.txt", "B2\nZ9\n");
  dir.write("one.txt", "B2\n");
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"panel", "--vcf", "absent.vcf", "--out", "out"}, "Error: cannot open absent.vcf (No such file or directory)\n"},
      {{"panel", "--vcf", "ids.txt", "--out", "out"}, "Error: ids.txt: not a VCF or BCF file\n"},
      {{"panel", "--vcf", "s.vcf", "--out", "out"},
       "Error: s.vcf: records of several chromosomes (7 and 8 at record 2); choose one with --chromosome\n"},
      {{"study", "--vcf", "s.vcf", "--cases", "ids.txt", "--out", "out", "--chromosome", "7"},
       "Error: ids.txt: 1 case ID(s) not among the samples of s.vcf: Z9\n"},
      {{"study", "--vcf", "s.vcf", "--cases", "absent.txt", "--out", "out"}, "Error: cannot open absent.txt\n"},
      {{"study", "--vcf", "s.vcf", "--cases", "one.txt", "--out", "out", "--chromosome", "8", "--panel-dir", "nopanel"},
       "Error: cannot open nopanel/hapmap.map\n"},
  };
  for (const Case& c : cases) {
    const ProgramRun run = convert(c.args, dir.path());
    EXPECT_EQ(run.status, 1) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out"))) << c.message;
  }
}

constexpr int kMarkers = 45;
long position(int m) { return 1000 + 137L * m; }
std::string ref_letter(int m) { return std::string(1, "ACGT"[m % 4]); }
std::string alt_letter(int m) { return std::string(1, "GTAC"[m % 4]); }

// A deterministic panel of 60 haplotypes ('0'/'1' per marker) copied from
// four founders with one switch point each and a few changed alleles.
std::vector<std::string> simulated_haplotypes() {
  unsigned state = 12345;
  const auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return (state >> 16) & 0x7fff;
  };
  std::vector<std::string> founders(4, std::string(kMarkers, '0')), haplotypes;
  for (auto& f : founders)
    for (auto& c : f) c = next() % 3 == 0 ? '1' : '0';
  for (size_t h = 0; h < 60; ++h) {
    const size_t switch_at = next() % kMarkers;
    std::string hap = founders[h % 4].substr(0, switch_at) + founders[(h + 1) % 4].substr(switch_at);
    if (next() % 2 == 0) hap[next() % kMarkers] ^= 1;
    haplotypes.push_back(hap);
  }
  return haplotypes;
}

// Panel VCF: 30 samples, every fifth marker without an ID, plus an indel
// the converter skips.
std::string panel_vcf(const std::vector<std::string>& haplotypes) {
  std::vector<std::string> samples, rows;
  for (size_t s = 0; s < 30; ++s) samples.push_back("P" + std::to_string(s));
  for (int m = 0; m < kMarkers; ++m) {
    std::string row = "chr7 " + std::to_string(position(m)) + (m % 5 == 0 ? " ." : " rs" + std::to_string(m)) + " " +
                      ref_letter(m) + " " + alt_letter(m);
    std::string indel = "chr7 " + std::to_string(position(m) + 1) + " indel AT A";
    for (size_t s = 0; s < 30; ++s) {
      row += " " + haplotypes[2 * s].substr(m, 1) + "|" + haplotypes[2 * s + 1][m];
      indel += " 0|1";
    }
    rows.push_back(row);
    if (m == 10) rows.push_back(indel);
  }
  return test::vcf_text(samples, rows);
}

// Study VCF: the panel's 30 individuals, unphased, typed at every third
// marker, all named by ID, a few genotypes missing.
std::string study_vcf(const std::vector<std::string>& haplotypes, std::vector<std::vector<int>>& alt_counts) {
  std::vector<std::string> samples, rows;
  for (int s = 0; s < 30; ++s) samples.push_back("S" + std::to_string(s));
  for (int m = 0; m < kMarkers; m += 3) {
    std::string row = "chr7 " + std::to_string(position(m)) + " chip" + std::to_string(m) + " " + ref_letter(m) +
                      " " + alt_letter(m);
    std::vector<int> counts;
    for (size_t s = 0; s < 30; ++s) {
      const char a = haplotypes[2 * s + 1][m], b = haplotypes[2 * s][m];
      const bool missing = (s + static_cast<size_t>(m)) % 17 == 0;
      row += missing ? std::string(" ./.") : std::string(" ") + a + "/" + b;
      counts.push_back(missing ? -1 : (a - '0') + (b - '0'));
    }
    rows.push_back(row);
    alt_counts.push_back(counts);
  }
  return test::vcf_text(samples, rows);
}

std::vector<std::string> split(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// One record of an imputed VCF read back with htslib.
struct ImputedRecord {
  std::string id;
  bool typed = false;
  std::vector<int> codes;  // per sample: ALT count of GT, -1 when missing
  std::vector<float> dosages;
};

std::vector<ImputedRecord> read_imputed_vcf(const std::string& path, std::vector<std::string>& samples) {
  htsFile* file = hts_open(path.c_str(), "r");
  EXPECT_NE(file, nullptr);
  if (!file) return {};
  bcf_hdr_t* header = bcf_hdr_read(file);
  for (int s = 0; s < bcf_hdr_nsamples(header); ++s) samples.emplace_back(header->samples[s]);
  bcf1_t* record = bcf_init();
  std::vector<ImputedRecord> records;
  int32_t* gt = nullptr;
  float* ds = nullptr;
  int gt_size = 0, ds_size = 0;
  while (bcf_read(file, header, record) == 0) {
    bcf_unpack(record, BCF_UN_ALL);
    ImputedRecord r;
    r.id = record->d.id;
    r.typed = bcf_get_info_flag(header, record, "TYPED", nullptr, nullptr) == 1;
    const int n = bcf_get_genotypes(header, record, &gt, &gt_size);
    for (int k = 0; k + 1 < n; k += 2)
      r.codes.push_back(bcf_gt_is_missing(gt[k]) ? -1 : bcf_gt_allele(gt[k]) + bcf_gt_allele(gt[k + 1]));
    const int m = bcf_get_format_float(header, record, "DS", &ds, &ds_size);
    r.dosages.assign(ds, ds + std::max(m, 0));
    records.push_back(r);
  }
  free(gt);
  free(ds);
  bcf_destroy(record);
  bcf_hdr_destroy(header);
  hts_close(file);
  return records;
}

TEST(ConvertRoundTrip, PanelAndStudyVcfThroughSnpImputeAndBackAsVcf) {
  TempDir dir;
  const std::vector<std::string> haplotypes = simulated_haplotypes();
  std::vector<std::vector<int>> alt_counts;  // per typed marker, per sample in VCF order
  test::write_bgzipped(dir.file("panel.vcf.gz"), panel_vcf(haplotypes));
  dir.write("study.vcf", study_vcf(haplotypes, alt_counts));
  dir.write("cases.txt", "S9\nS1\nS4\n");

  const ProgramRun panel = convert({"panel", "--vcf", "panel.vcf.gz", "--out", "run"}, dir.path());
  ASSERT_EQ(panel.status, 0) << panel.err;
  EXPECT_EQ(panel.err, "Skipped 1 of 46 records of panel.vcf.gz:\n  1 not a SNP (indel or other allele)\n");
  const ProgramRun study = convert({"study", "--vcf", "study.vcf", "--cases", "cases.txt", "--out", "run"}, dir.path());
  ASSERT_EQ(study.status, 0) << study.err;
  EXPECT_NE(study.err.find(": 0 by name, 15 by position (renamed); 0 not in the panel\n"), std::string::npos)
      << study.err;
  const std::string run_dir = dir.file("run");
  EXPECT_NE(study.out.find("Run: snp-impute run/parameter.txt\n"), std::string::npos) << study.out;

  TempDir elsewhere;  // the parameter file holds absolute paths
  const ProgramRun impute = snp::test::run_program(SNP_IMPUTE_BIN, {run_dir + "/parameter.txt"}, elsewhere.path());
  ASSERT_EQ(impute.status, 0) << impute.out << impute.err;
  EXPECT_TRUE(starts_with(impute.out, "7\n45\n60\n15\n3\n27\n0.33\n")) << impute.out;

  const std::string result = snp::test::read_text(run_dir + "/imputation_results.txt");
  std::istringstream lines(result);
  std::vector<size_t> column_sample = {1, 4, 9};  // cases, then controls, each in VCF order
  for (size_t s = 0; s < 30; ++s)
    if (s != 1 && s != 4 && s != 9) column_sample.push_back(s);
  std::string line;
  int m = 0;
  for (; std::getline(lines, line); ++m) {
    const std::vector<std::string> words = split(line);
    ASSERT_EQ(words.size(), 5u + 30u) << line;
    EXPECT_EQ(words[0], std::to_string(m + 1));
    EXPECT_EQ(words[1], m % 5 == 0 ? "chr7:" + std::to_string(position(m)) : "rs" + std::to_string(m));
    if (m % 3 != 0) continue;
    for (size_t c = 0; c < 30; ++c) {  // observed genotypes are kept
      const int observed = alt_counts[static_cast<size_t>(m / 3)][column_sample[c]];
      if (observed >= 0) {
        EXPECT_EQ(words[5 + c], std::to_string(observed)) << "marker " << m + 1 << " column " << c;
      }
    }
  }
  EXPECT_EQ(m, kMarkers);

  // The imputed VCF, read back with htslib, holds the genotypes of the result file.
  const ProgramRun with_vcf = snp::test::run_program(
      SNP_IMPUTE_BIN, {"--vcf-out", "out.vcf.gz", run_dir + "/parameter.txt"}, elsewhere.path());
  ASSERT_EQ(with_vcf.status, 0) << with_vcf.err;
  EXPECT_EQ(snp::test::read_text(run_dir + "/imputation_results.txt"), result);  // the result file does not change
  EXPECT_TRUE(std::filesystem::exists(elsewhere.file("out.vcf.gz.tbi")));
  std::vector<std::string> samples;
  const auto records = read_imputed_vcf(elsewhere.file("out.vcf.gz"), samples);
  ASSERT_EQ(records.size(), static_cast<size_t>(kMarkers));
  ASSERT_EQ(samples.size(), 30u);
  EXPECT_EQ(std::vector<std::string>(samples.begin(), samples.begin() + 3), (std::vector<std::string>{"S1", "S4", "S9"}));
  std::istringstream again(result);
  for (const auto& record : records) {
    ASSERT_TRUE(std::getline(again, line));
    const std::vector<std::string> words = split(line);
    EXPECT_EQ(record.id, words[1]);
    for (size_t c = 0; c < 30; ++c) {
      EXPECT_EQ(record.codes[c], std::stoi(words[5 + c])) << record.id << " sample " << c;
      if (record.codes[c] >= 0 && !bcf_float_is_missing(record.dosages[c])) {
        EXPECT_NEAR(record.dosages[c], record.codes[c], 1.0) << record.id;
      }
    }
  }
  const long typed = std::count_if(records.begin(), records.end(), [](const auto& r) { return r.typed; });
  EXPECT_EQ(typed, 15);
}

std::vector<std::vector<std::string>> words_of_lines(const std::string& path) {
  std::istringstream text(snp::test::read_text(path));
  std::vector<std::vector<std::string>> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(split(line));
  return lines;
}

// The example data set written as VCF: the panel phased, the study unphased
// with REF and ALT the study map's fourth and fifth letters.
void write_examples_as_vcf(const std::string& examples, const TempDir& dir) {
  const auto haplotypes = words_of_lines(examples + "/hapmap.hap");
  const auto map = words_of_lines(examples + "/hapmap.map");
  std::vector<std::string> samples, rows;
  for (size_t s = 0; s < haplotypes.size() / 2; ++s) samples.push_back("P" + std::to_string(s));
  auto allele = [](const std::string& code) { return code == "?" ? std::string(".") : code; };
  for (size_t j = 1; j < map.size(); ++j) {
    std::string row = "7 " + map[j][1] + " " + map[j][0] + " " + map[j][2] + " " + map[j][3];
    for (size_t s = 0; s < samples.size(); ++s)
      row += " " + allele(haplotypes[2 * s][j - 1]) + "|" + allele(haplotypes[2 * s + 1][j - 1]);
    rows.push_back(row);
  }
  dir.write("panel.vcf", test::vcf_text(samples, rows));

  auto genotypes = words_of_lines(examples + "/disease.geno");
  std::string cases;
  for (const auto& line : genotypes) cases += line[0] + "\n";
  dir.write("cases.txt", cases);
  const auto controls = words_of_lines(examples + "/normal.geno");
  genotypes.insert(genotypes.end(), controls.begin(), controls.end());
  samples.clear();
  rows.clear();
  for (const auto& line : genotypes) samples.push_back(line[0]);
  const auto study_map = words_of_lines(examples + "/normal.map");
  for (size_t k = 0; k < study_map.size(); ++k) {
    const auto& m = study_map[k];
    std::string row = "7 " + m[5] + " " + m[2] + " " + m[3] + " " + m[4];
    auto code = [&](const std::string& letter) { return letter == m[3] ? "0" : letter == m[4] ? "1" : "."; };
    for (const auto& line : genotypes) row += std::string(" ") + code(line[2 + 2 * k]) + "/" + code(line[3 + 2 * k]);
    rows.push_back(row);
  }
  dir.write("study.vcf", test::vcf_text(samples, rows));
}

TEST(ConvertRoundTrip, ExampleDataAsVcfGiveTheSameResultFile) {
  TempDir dir;
  const std::string examples = std::string(SNP_SOURCE_DIR) + "/examples";
  write_examples_as_vcf(examples, dir);
  ASSERT_EQ(convert({"panel", "--vcf", "panel.vcf", "--out", "run"}, dir.path()).status, 0);
  ASSERT_EQ(convert({"study", "--vcf", "study.vcf", "--cases", "cases.txt", "--out", "run"}, dir.path()).status, 0);
  EXPECT_EQ(dir.read("run/hapmap.hap"), snp::test::read_text(examples + "/hapmap.hap"));

  // Both runs impute the same range of 150 markers.
  const std::regex range("first_marker[^]*");
  const std::string first_and_last = "first_marker 951\nlast_marker 1100\n";
  dir.write("run/parameter.txt", std::regex_replace(dir.read("run/parameter.txt"), range, first_and_last));
  std::string original = snp::test::read_text(examples + "/parameter.txt");
  original = std::regex_replace(original, std::regex("\\./examples"), examples);
  original = std::regex_replace(original, std::regex("imputation_results.txt"), dir.file("original.txt"));
  dir.write("original.param", std::regex_replace(original, range, first_and_last));
  ASSERT_EQ(snp::test::run_program(SNP_IMPUTE_BIN, {"run/parameter.txt"}, dir.path()).status, 0);
  ASSERT_EQ(snp::test::run_program(SNP_IMPUTE_BIN, {"original.param"}, dir.path()).status, 0);
  const std::string result = dir.read("run/imputation_results.txt");
  EXPECT_EQ(std::count(result.begin(), result.end(), '\n'), 150);
  EXPECT_EQ(result, dir.read("original.txt"));
}

}  // namespace
}  // namespace snp::convert
