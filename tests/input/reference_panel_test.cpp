#include "input/reference_panel.h"

#include <gtest/gtest.h>

#include <sstream>

#include "test_support.h"

namespace snp {
namespace {

using test::TempDir;

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

}  // namespace
}  // namespace snp
