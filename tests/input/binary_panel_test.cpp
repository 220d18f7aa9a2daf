// The binary haplotype file against the text file of the same panel.
#include "input/binary_panel.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "base/errors.h"
#include "input/reference_panel.h"
#include "test_support.h"

namespace snp {
namespace {

// 70 haplotypes (two words per marker) of random 0, 1 and ?, with the
// binary file written from the codes the text reader gives.
struct BothFiles {
  test::TempDir dir;
  static constexpr int kHaplotypes = 70, kMarkers = 9;
  CodeMatrix from_text;
  BothFiles() {
    std::mt19937 rng(2);
    std::string text;
    for (int h = 0; h < kHaplotypes; ++h) {
      for (int m = 0; m < kMarkers; ++m) text += std::string(1, "01?"[rng() % 3]) + (m + 1 < kMarkers ? " " : "\n");
    }
    dir.write("panel.hap", text);
    std::ostringstream console;
    from_text = read_haplotypes(dir.file("panel.hap"), kMarkers, kHaplotypes, console);
    std::ofstream out(dir.file("panel.bin"), std::ios::binary);
    write_binary_panel(out, kHaplotypes, kMarkers, [&](int m, std::int8_t* codes) {
      for (int h = 0; h < kHaplotypes; ++h) codes[h] = from_text(h, m);
    });
  }
};

TEST(BinaryPanel, ReadsBackTheTextPanelWholeOrAWindowOfIt) {
  BothFiles files;
  std::ostringstream console;
  EXPECT_TRUE(is_binary_panel(files.dir.file("panel.bin")));
  EXPECT_FALSE(is_binary_panel(files.dir.file("panel.hap")));
  const CodeMatrix whole = read_haplotypes(files.dir.file("panel.bin"), BothFiles::kMarkers, BothFiles::kHaplotypes, console);
  const CodeMatrix window = read_binary_haplotypes(files.dir.file("panel.bin"), BothFiles::kMarkers, 40, 3, 6);
  EXPECT_EQ(window.first_column(), 3);
  EXPECT_EQ(window.end_column(), 6);
  EXPECT_EQ(window.allocated_rows(), 41);
  for (int m = 0; m < BothFiles::kMarkers; ++m)
    for (int h = 0; h < BothFiles::kHaplotypes; ++h) {
      ASSERT_EQ(whole(h, m), files.from_text(h, m)) << h << " " << m;
      if (h < 40 && m >= 3 && m < 6) {
        ASSERT_EQ(window(h, m), files.from_text(h, m)) << h << " " << m;
      }
    }
  // The stored counts give every marker's code sum; they do not apply to
  // fewer haplotypes than the file holds.
  const auto sums = read_binary_code_sums(files.dir.file("panel.bin"), BothFiles::kMarkers, BothFiles::kHaplotypes);
  ASSERT_TRUE(sums.has_value());
  for (int m = 0; m < BothFiles::kMarkers; ++m) {
    long sum = 0;
    for (int h = 0; h < BothFiles::kHaplotypes; ++h) sum += files.from_text(h, m);
    EXPECT_EQ((*sums)[static_cast<size_t>(m)], sum) << m;
  }
  EXPECT_FALSE(read_binary_code_sums(files.dir.file("panel.bin"), BothFiles::kMarkers, 40).has_value());
}

TEST(BinaryPanel, ShortFileOrTooFewHaplotypesIsAnError) {
  BothFiles files;
  const std::string path = files.dir.file("panel.bin");
  EXPECT_THROW(read_binary_haplotypes(path, BothFiles::kMarkers, BothFiles::kHaplotypes + 1), InputError);
  EXPECT_THROW(read_binary_haplotypes(path, BothFiles::kMarkers + 1, BothFiles::kHaplotypes), InputError);
  std::string bytes = test::read_text(path);
  files.dir.write("short.bin", bytes.substr(0, bytes.size() - 1));
  EXPECT_THROW(read_binary_haplotypes(files.dir.file("short.bin"), 1, 1), InputError);
  bytes[7] = 1;  // a file of the first version, without the counts
  files.dir.write("old.bin", bytes);
  EXPECT_THROW(read_binary_haplotypes(files.dir.file("old.bin"), 1, 1), InputError);
}

}  // namespace
}  // namespace snp
