#include "screen/case_control_file.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "model/errors.h"
#include "test_support.h"

namespace snp::screen {
namespace {

using test::TempDir;

std::vector<std::int8_t> codes_of(const std::string& line, int markers) {
  const auto decoded = decode_line(line, markers);
  EXPECT_TRUE(decoded.has_value()) << line;
  return decoded ? decoded->codes : std::vector<std::int8_t>{};
}

TEST(ScreenDataFile, CodesWithAndWithoutBlanks) {
  const std::vector<std::int8_t> expected = {0, 2, -1, 1};
  for (const std::string line : {"1 0 2 -1 1", "1 02-11", "1\t0\t2 \t-1  1", "1 0 2 -1 1 2 0\r"}) {
    const auto decoded = decode_line(line, 4);
    ASSERT_TRUE(decoded) << line;
    EXPECT_EQ(decoded->status, 1) << line;
    EXPECT_EQ(decoded->codes, expected) << line;
  }
}

TEST(ScreenDataFile, ParsingStopsAtTheFirstOtherCharacter) {
  EXPECT_EQ(codes_of("0 1 x 2 1", 4), (std::vector<std::int8_t>{1, -1, -1, -1}));
  EXPECT_EQ(codes_of("0 1 3 2", 3), (std::vector<std::int8_t>{1, -1, -1}));
  EXPECT_EQ(codes_of("0 1 -2 2", 3), (std::vector<std::int8_t>{1, -1, -1}));
  EXPECT_EQ(codes_of("0 2 -", 3), (std::vector<std::int8_t>{2, -1, -1}));
  EXPECT_EQ(codes_of("5", 2), (std::vector<std::int8_t>{-1, -1}));  // a short line: the rest missing
}

TEST(ScreenDataFile, StatusIsASixteenBitInteger) {
  const auto status = [](const std::string& text) -> std::optional<short> {
    const char* p = text.data();
    return parse_status(p, text.data() + text.size());
  };
  EXPECT_EQ(status(" \t7 1"), 7);
  EXPECT_EQ(status("+2"), 2);
  EXPECT_EQ(status("-32768"), -32768);
  EXPECT_EQ(status("32767"), 32767);
  EXPECT_EQ(status("32768"), std::nullopt);
  EXPECT_EQ(status("-32769"), std::nullopt);
  EXPECT_EQ(status(""), std::nullopt);
  EXPECT_EQ(status("-"), std::nullopt);
  EXPECT_EQ(status("x1"), std::nullopt);
  // "1021": digits run on into the status.
  EXPECT_EQ(status("1021"), 1021);
}

// A random line of `markers` codes in a random layout, sometimes cut short
// or ended by a stray character.
std::string random_line(std::mt19937& random, int markers) {
  std::uniform_int_distribution<int> pick(0, 99);
  const int layout = pick(random) % 4;  // blanks, none, mixed, tabs and doubles
  std::string line = std::to_string(pick(random) % 3) + " ";
  const int stop = pick(random) < 10 ? pick(random) * markers / 100 : markers + 5;
  for (int j = 0; j < std::min(stop, markers + 3); ++j) {
    const int r = pick(random);
    line += r < 5 ? "-1" : std::string(1, static_cast<char>('0' + r % 3));
    if (layout == 0 || (layout == 2 && r % 2)) line += ' ';
    if (layout == 3) line += r % 3 ? " " : "\t ";
  }
  if (stop < markers && pick(random) < 50) line += "x 1 2";
  return line;
}

TEST(ScreenDataFile, CountsAgreeWithTheDecodedLines) {
  std::mt19937 random(11);
  const int markers = 301;  // long enough for whole blocks and ragged ends
  MarkerCounts counts(markers);
  std::vector<GenotypeCounts> expected(static_cast<size_t>(markers));
  for (int row = 0; row < 1200; ++row) {  // over 255 lines per group
    const std::string line = random_line(random, markers);
    const auto decoded = decode_line(line, markers);
    ASSERT_TRUE(decoded);
    const char* p = line.data();
    const auto status = parse_status(p, line.data() + line.size());
    counts.add_line(*status, p, line.data() + line.size());
    for (size_t j = 0; j < expected.size(); ++j) {
      auto& group = decoded->status == 1 ? expected[j].cases : expected[j].controls;
      const int code = decoded->codes[j];
      ++group[code < 0 ? 3 : static_cast<size_t>(code)];
    }
  }
  for (int j = 0; j < markers; ++j) {
    const GenotypeCounts got = counts.at(j);
    ASSERT_EQ(got.cases, expected[static_cast<size_t>(j)].cases) << "marker " << j;
    ASSERT_EQ(got.controls, expected[static_cast<size_t>(j)].controls) << "marker " << j;
  }
  EXPECT_EQ(counts.case_rows() + counts.control_rows(), 1200);
}

TEST(ScreenDataFile, CountsPassTheByteRange) {
  // One code repeated on 600 lines of a group, in both regular layouts.
  std::string spaced = "1", packed = "0 ";
  for (int j = 0; j < 40; ++j) {
    spaced += " 2";
    packed += "1";
  }
  MarkerCounts counts(40);
  for (int row = 0; row < 600; ++row) {
    for (const std::string* line : {&spaced, &packed}) {
      const char* p = line->data();
      const auto status = parse_status(p, line->data() + line->size());
      counts.add_line(*status, p, line->data() + line->size());
    }
  }
  EXPECT_EQ(counts.at(39).cases, (std::array<int, 4>{0, 0, 600, 0}));
  EXPECT_EQ(counts.at(0).controls, (std::array<int, 4>{0, 600, 0, 0}));
}

TEST(ScreenDataFile, ReadsTheFirstSampleLines) {
  TempDir dir;
  // The fourth line is beyond the three individuals; the last line has no
  // line end.
  dir.write("data.txt", "1 0 1 2\n0 2 2\n2 -1 0 1\nbad line\n");
  const MarkerCounts counts = read_case_control_counts(dir.file("data.txt"), 3, 3);
  EXPECT_EQ(counts.case_rows(), 1);
  EXPECT_EQ(counts.control_rows(), 2);
  EXPECT_EQ(counts.at(2).controls, (std::array<int, 4>{0, 1, 0, 1}));  // short line: missing
  dir.write("last.txt", "1 0 1 2\n0 2 2 1");
  EXPECT_EQ(read_case_control_counts(dir.file("last.txt"), 2, 3).at(2).controls, (std::array<int, 4>{0, 1, 0, 0}));
}

TEST(ScreenDataFile, FileProblemsNameTheFileAndWhatWasExpected) {
  TempDir dir;
  const std::string missing = dir.file("none.txt");
  try {
    read_case_control_counts(missing, 2, 2);
    FAIL();
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()), "file open " + missing + " not good\n");
    EXPECT_EQ(e.channel(), Channel::standard_output);
  }
  dir.write("short.txt", "1 0 1\n0 1 1\n");
  try {
    read_case_control_counts(dir.file("short.txt"), 5, 2);
    FAIL();
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Error: " + dir.file("short.txt") + ": expected 5 lines (one per individual), found 2\n");
  }
  dir.write("blank.txt", "1 0 1\n\n0 1 1\n");
  try {
    read_case_control_counts(dir.file("blank.txt"), 3, 2);
    FAIL();
  } catch (const InputError& e) {
    EXPECT_NE(std::string(e.what()).find("line 2 of " + dir.file("blank.txt") + ": expected the status"),
              std::string::npos)
        << e.what();
  }
}

// Writes a file of `lines` random lines; returns its path.
std::string write_random_file(const TempDir& dir, int lines, int markers) {
  std::mt19937 random(5);
  std::string text;
  for (int i = 0; i < lines; ++i) text += random_line(random, markers) + "\n";
  dir.write("random.txt", text);
  return dir.file("random.txt");
}

void expect_same_counts(const MarkerCounts& a, const MarkerCounts& b) {
  ASSERT_EQ(a.case_rows(), b.case_rows());
  ASSERT_EQ(a.control_rows(), b.control_rows());
  for (int j = 0; j < a.markers(); ++j) {
    ASSERT_EQ(a.at(j).cases, b.at(j).cases) << j;
    ASSERT_EQ(a.at(j).controls, b.at(j).controls) << j;
  }
}

TEST(ScreenDataFile, ParallelReadingMatchesOneThread) {
  TempDir dir;
  const std::string path = write_random_file(dir, 400, 97);
  const size_t everything = size_t{1} << 40;  // one thread
  const size_t small = 1000;                  // as many threads as there are
  expect_same_counts(read_case_control_counts(path, 400, 97, small),
                     read_case_control_counts(path, 400, 97, everything));
  // More lines than individuals, and a bad line beyond them.
  dir.write("extra.txt", test::read_text(path) + "x\n1 1 1\n");
  expect_same_counts(read_case_control_counts(dir.file("extra.txt"), 400, 97, small),
                     read_case_control_counts(path, 400, 97, everything));
  expect_same_counts(read_case_control_counts(path, 150, 97, small),
                     read_case_control_counts(path, 150, 97, everything));
  EXPECT_THROW(read_case_control_counts(path, 401, 97, small), InputError);
}

}  // namespace
}  // namespace snp::screen
