#include "single_marker/case_control_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "test_support.h"

namespace snp::screen {
namespace {

using test::TempDir;

std::vector<std::int8_t> codes_of(const std::string& line, int markers) {
  const auto decoded = decode_line(line, markers);
  EXPECT_TRUE(decoded.has_value()) << line;
  return decoded ? decoded->codes : std::vector<std::int8_t>{};
}

TEST(ScreenDataFile, DecodesCodesWithAndWithoutBlanks) {
  const std::vector<std::int8_t> expected = {0, 2, -1, 1};
  for (const std::string line : {"1 0 2 -1 1", "1 02-11", "1\t0\t2 \t-1  1", "1 0 2 -1 1 2 0\r"}) {
    const auto decoded = decode_line(line, 4);
    ASSERT_TRUE(decoded) << line;
    EXPECT_EQ(decoded->status, 1) << line;
    EXPECT_EQ(decoded->codes, expected) << line;
  }
  // Parsing stops at the first other character.
  EXPECT_EQ(codes_of("0 1 x 2 1", 4), (std::vector<std::int8_t>{1, -1, -1, -1}));
  EXPECT_EQ(codes_of("0 1 3 2", 3), (std::vector<std::int8_t>{1, -1, -1}));
  EXPECT_EQ(codes_of("0 1 -2 2", 3), (std::vector<std::int8_t>{1, -1, -1}));
  EXPECT_EQ(codes_of("0 2 -", 3), (std::vector<std::int8_t>{2, -1, -1}));
  EXPECT_EQ(codes_of("5", 2), (std::vector<std::int8_t>{-1, -1}));  // a short line: the rest missing
}

TEST(ScreenDataFile, StatusIsASixteenBitInteger) {
  // "1021": digits run on into the status.
  const std::pair<std::string, std::optional<short>> cases[] = {
      {" \t7 1", 7},       {"+2", 2},           {"-32768", -32768},  {"32767", 32767}, {"32768", std::nullopt},
      {"-32769", std::nullopt}, {"", std::nullopt}, {"-", std::nullopt}, {"x1", std::nullopt},    {"1021", 1021}};
  for (const auto& [text, expected] : cases) {
    const char* p = text.data();
    EXPECT_EQ(parse_status(p, text.data() + text.size()), expected) << text;
  }
}

// Adds one line to `counts` as the file reader does.
void add(MarkerCounts& counts, const std::string& line) {
  const char* p = line.data();
  const auto status = parse_status(p, line.data() + line.size());
  counts.add_line(*status, p, line.data() + line.size());
}

// A random line of `markers` codes in a random layout, sometimes cut short.
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
  return line;
}

// The counts of `got` equal `want` marker by marker.
void expect_counts(const MarkerCounts& got, const std::vector<GenotypeCounts>& want) {
  for (int j = 0; j < got.markers(); ++j) {
    ASSERT_EQ(got.at(j).cases, want[static_cast<size_t>(j)].cases) << "marker " << j;
    ASSERT_EQ(got.at(j).controls, want[static_cast<size_t>(j)].controls) << "marker " << j;
  }
}

TEST(ScreenDataFile, CountsPassTheByteRange) {
  // One code on 600 lines of each group, in both regular layouts: the byte
  // counters are emptied before they could wrap.
  std::string spaced = "2", packed = "";
  for (int j = 0; j < 40; ++j) {
    spaced += " 2";
    packed += "1";
  }
  MarkerCounts counts(40);
  for (int row = 0; row < 600; ++row) {
    add(counts, "1 " + spaced.substr(2));
    add(counts, "0 " + packed);
  }
  for (const int j : {0, 17, 39}) {
    EXPECT_EQ(counts.at(j).cases, (std::array<int, 4>{0, 0, 600, 0}));
    EXPECT_EQ(counts.at(j).controls, (std::array<int, 4>{0, 600, 0, 0}));
  }
}

TEST(ScreenDataFile, CountsAgreeWithTheDecodedLinesInOneOrManyThreads) {
  std::mt19937 random(11);
  const int markers = 301;  // long enough for whole blocks and ragged ends
  MarkerCounts counts(markers);
  std::vector<GenotypeCounts> expected(static_cast<size_t>(markers)), first_150;
  std::string text;
  for (int row = 0; row < 1200; ++row) {  // over 255 lines per group
    if (row == 150) first_150 = expected;
    const std::string line = random_line(random, markers);
    text += line + "\n";
    const auto decoded = decode_line(line, markers);
    ASSERT_TRUE(decoded);
    add(counts, line);
    for (size_t j = 0; j < expected.size(); ++j) {
      auto& group = decoded->status == 1 ? expected[j].cases : expected[j].controls;
      const int code = decoded->codes[j];
      ++group[code < 0 ? 3 : static_cast<size_t>(code)];
    }
  }
  expect_counts(counts, expected);
  EXPECT_EQ(counts.case_rows() + counts.control_rows(), 1200);
  // The file reader, in one thread and in as many as there are; lines beyond
  // the individuals, a bad one among them, are not read.
  TempDir dir;
  dir.write("random.txt", text);
  dir.write("extra.txt", text + "x\n1 1 1\n");
  const size_t everything = size_t{1} << 40, small = 1000;
  for (const size_t bytes : {everything, small}) {
    expect_counts(read_case_control_counts(dir.file("random.txt"), 1200, markers, bytes), expected);
    expect_counts(read_case_control_counts(dir.file("extra.txt"), 1200, markers, bytes), expected);
    expect_counts(read_case_control_counts(dir.file("random.txt"), 150, markers, bytes), first_150);
  }
}

}  // namespace
}  // namespace snp::screen
