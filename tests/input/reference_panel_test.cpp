#include "input/reference_panel.h"

#include <gtest/gtest.h>

#include <sstream>

#include "base/errors.h"
#include "test_support.h"

namespace snp {
namespace {

using test::TempDir;

std::string read_panel_error(const std::string& hap, int markers, int haplotypes) {
  TempDir dir;
  dir.write("h.hap", hap);
  CodeMatrix panel(haplotypes, markers);
  std::ostringstream console;
  try {
    read_haplotypes(dir.file("h.hap"), panel, markers, haplotypes, console);
  } catch (const FatalError& e) {
    std::string text = e.what();
    const auto at = text.find(dir.path());
    if (at != std::string::npos) text.replace(at, dir.path().size(), "DIR");
    return text;
  }
  return "no error";
}

TEST(ReferencePanel, ReadsBothFiles) {
  TempDir dir;
  dir.write("h.hap", "0 1 ?\n1 1 0 \r\n");
  dir.write("r.map", "a b c d\nrs123 1000 A G\nrs_with_a_very_long_name_beyond_twenty 2000 CT\nrs3 3000 G T\n");
  std::ostringstream console;
  const ReferencePanel p = read_reference_panel(dir.file("h.hap"), dir.file("r.map"), 3, 2, console);
  EXPECT_EQ((std::vector<int>{p.haplotypes(0, 0), p.haplotypes(0, 1), p.haplotypes(0, 2), p.haplotypes(1, 2)}),
            (std::vector<int>{0, 1, -1, 0}));
  EXPECT_EQ(p.names[1], "rs_with_a_very_long_name_beyond_twenty");
  EXPECT_EQ(p.positions, (std::vector<int>{1000, 2000, 3000}));
  EXPECT_EQ(p.letters[1], (AllelePair{'C', 'T'}));
  EXPECT_EQ(console.str(), "read data=0\n");
}

TEST(ReferencePanel, BadFilesStopWithClearMessages) {
  EXPECT_EQ(read_panel_error("0 1 x 1\n", 4, 1),
            "\n find error at reading population data chromsome i=0 allele j=2 x asc code=120\n");
  EXPECT_EQ(read_panel_error("0 1 1\n", 4, 1), "Error: line 1 of DIR/h.hap: expected 4 allele codes, found 3\n");
  EXPECT_EQ(read_panel_error("0 1 1 1\n", 4, 2), "Error: line 2 of DIR/h.hap: expected 2 haplotype lines, found 1\n");
  EXPECT_EQ(read_panel_error("0 1 1 1 0 0\n", 4, 1),
            "Error: line 1 of DIR/h.hap: expected at most 10 characters, found 11\n");
  TempDir dir;
  ReferencePanel panel;
  panel.marker_count = 2;
  dir.write("r.map", "a b c d\nrs1 100 A G\nrs2 1e5 A G\n");
  EXPECT_THROW(
      {
        try {
          read_reference_map(dir.file("r.map"), panel);
        } catch (const InputError& e) {
          EXPECT_EQ(std::string(e.what()), "Error: line 3 of " + dir.path() +
                                               "/r.map: expected an integer position for marker rs2, found \"1e5\"\n");
          throw;
        }
      },
      InputError);
}

}  // namespace
}  // namespace snp
