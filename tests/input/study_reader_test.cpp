#include "input/study_reader.h"

#include <gtest/gtest.h>

#include <sstream>

#include "test_support.h"

namespace snp {
namespace {

using test::TempDir;

struct GroupFiles {
  TempDir dir;
  std::ostringstream console;
  GenotypeGroup group;
  std::vector<std::string> ids;
  GroupFiles(const std::string& map, const std::string& geno, int individuals, int chromosome, bool controls)
      : group{dir.file("s.map"), dir.file("g.geno"), chromosome, controls, individuals} {
    dir.write("s.map", map);
    dir.write("g.geno", geno);
  }
  CodeMatrix read(int markers) {
    CodeMatrix m(group.individuals, markers);
    read_genotype_group(group, markers, m, 0, ids, console);
    return m;
  }
};

std::string map_lines(const std::vector<std::string>& letters) {
  std::string text;
  for (size_t k = 0; k < letters.size(); ++k)
    text += "7 " + std::to_string(k) + " rs" + std::to_string(k) + " " + letters[k] + " 0 0 0\n";
  return text;
}

TEST(StudyReader, LetterOffsetSkippedMarkersAndShortLines) {
  // One blank after the second word fixes the letter offset at 1.
  GroupFiles f(map_lines({"A G", "- C", "C T"}), "s0 x A G C C T T\ns1 x G G A C C T\ns2 x A A C C T\n", 3, 7,
               false);
  CodeMatrix m = f.read(3);
  EXPECT_EQ(f.console.str(), "read chromosome 7 maximum Allele Letter and minimum Allele Letter information\n");
  EXPECT_EQ(f.ids, (std::vector<std::string>{"s0", "s1", "s2"}));
  // Maximum letter "-": never coded; a line too short for an allele: missing.
  EXPECT_EQ((std::vector<int>{m(0, 0), m(0, 1), m(0, 2), m(1, 0), m(1, 2), m(2, 0), m(2, 2)}),
            (std::vector<int>{1, -1, 2, 2, 1, 0, -1}));
  // A first line without a blank gives offset 0 until a line has blanks;
  // both map letters equal: a homozygote of that letter codes 2.
  GroupFiles tab(map_lines({"A G", "CC"}), "s0 x\tA G C C\ns1 x  G G C C\n", 2, 7, false);
  CodeMatrix t = tab.read(2);
  EXPECT_EQ(t(0, 0), -1);  // position 0 holds the tab
  EXPECT_EQ((std::vector<int>{t(1, 0), t(1, 1)}), (std::vector<int>{2, 2}));
}

TEST(StudyReader, ChromosomeExceptions) {
  std::vector<std::string> letters(19597, "A G");
  std::string line = " ";
  for (size_t m = 0; m < letters.size(); ++m) line += "G G ";
  GroupFiles ten(map_lines(letters), "s0 x" + line + "\n", 1, 10, true);
  CodeMatrix m10 = ten.read(19597);
  EXPECT_EQ(m10(0, 19595), 2);
  EXPECT_EQ(m10(0, 19596), -1);  // never coded on chromosome 10

  // Chromosome 17, marker 13785 of controls 40 and 141: an unknown first
  // letter counts as one copy of the minimum letter.
  letters.resize(13786);
  std::string lines;
  for (int s = 0; s < 142; ++s) {
    lines += "s";
    lines += std::to_string(s) + " x ";
    for (size_t m = 0; m < letters.size(); ++m)
      lines += m == 13785 && s == 40 ? "T G " : m == 13785 && s == 141 ? "T A " : "A A ";
    lines += "\n";
  }
  GroupFiles controls(map_lines(letters), lines, 142, 17, true);
  CodeMatrix c17 = controls.read(13786);
  EXPECT_EQ((std::vector<int>{c17(40, 13785), c17(141, 13785), c17(39, 13785)}), (std::vector<int>{2, 1, 0}));
  GroupFiles cases(map_lines(letters), lines, 142, 17, false);
  EXPECT_EQ(cases.read(13786)(40, 13785), -1);  // controls only
}

}  // namespace
}  // namespace snp
