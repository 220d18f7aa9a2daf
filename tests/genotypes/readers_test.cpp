#include <gtest/gtest.h>

#include "base/errors.h"
#include "genotypes/genotypes.h"
#include "test_support.h"

namespace snp::genotypes {
namespace {

using test::TempDir;
using Codes = std::vector<std::int8_t>;

// A .bed of the given codes (one row per marker), PLINK's two-bit layout.
std::string bed_bytes(const std::vector<Codes>& rows) {
  std::string bytes = "\x6c\x1b\x01";
  for (const auto& row : rows) {
    std::string record((row.size() + 3) / 4, '\0');
    for (size_t s = 0; s < row.size(); ++s) {
      const int bits = row[s] == 2 ? 0 : row[s] == 1 ? 2 : row[s] == 0 ? 3 : 1;
      record[s / 4] = static_cast<char>(record[s / 4] | bits << (2 * (s % 4)));
    }
    bytes += record;
  }
  return bytes;
}

const std::vector<Codes> kRows = {{0, 1, 2, -1, 2}, {2, 2, 0, 0, 1}, {-1, -1, 1, 0, 0}};

void write_fileset(const TempDir& dir, const std::string& bed) {
  dir.write("f.fam", "F1 a 0 0 1 2\nF1 b 0 0 2 1\nF2 c 0 0 0 0\r\nF2 d 0 0 1 -9\n\nF3 e 0 0 2 2\n");
  dir.write("f.bim", "1 rs1 0 100 A G\n1\trs2\t0.5\t200\tC\tT\n2 rs3 0 50 G T\n");
  dir.write("f.bed", bed);
}

std::string error_of(const std::function<void()>& open) {
  try {
    open();
  } catch (const InputError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(BedReader, DecodesRecordsAsCopiesOfA1InBlocks) {
  TempDir dir;
  write_fileset(dir, bed_bytes(kRows));
  const auto reader = open_bed(dir.file("f"));
  ASSERT_EQ(reader->samples().size(), 5u);
  EXPECT_EQ(reader->samples()[2].family, "F2");
  EXPECT_EQ(reader->samples()[4].id, "e");
  EXPECT_EQ(reader->samples()[1].sex, 2);
  EXPECT_EQ(reader->samples()[3].phenotype, "-9");
  MarkerBlock block;
  ASSERT_TRUE(reader->read_block(block, 2));
  ASSERT_EQ(block.size(), 2u);
  EXPECT_EQ((Codes(block.codes_of(0).begin(), block.codes_of(0).end())), kRows[0]);
  EXPECT_EQ((Codes(block.codes_of(1).begin(), block.codes_of(1).end())), kRows[1]);
  const Marker& m = block.markers[1];
  EXPECT_EQ(m.chromosome + m.name + std::to_string(m.position) + m.counted + m.other, "1rs2200CT");
  ASSERT_TRUE(reader->read_block(block, 2));
  EXPECT_EQ(block.size(), 1u);
  EXPECT_EQ(block.indices[0], 2);
  EXPECT_EQ((Codes(block.codes_of(0).begin(), block.codes_of(0).end())), kRows[2]);
  EXPECT_FALSE(reader->read_block(block, 2));
}

TEST(BedReader, TableOfNamedMarkersSkipsTheOthers) {
  TempDir dir;
  write_fileset(dir, bed_bytes(kRows));
  const auto reader = open_bed(dir.file("f"));
  const GenotypeTable table = read_table(*reader, {"rs3", "rs9", "rs1", "rs3"});
  ASSERT_EQ(table.block.size(), 2u);
  EXPECT_EQ(table.block.markers[0].name, "rs1");
  EXPECT_EQ(table.block.indices[1], 2);
  EXPECT_EQ((Codes(table.block.codes_of(1).begin(), table.block.codes_of(1).end())), kRows[2]);
  EXPECT_EQ(table.not_found, std::vector<std::string>{"rs9"});
}

TEST(BedReader, DamagedFilesetsAreNamedErrors) {
  TempDir dir;
  const auto open = [&] { open_bed(dir.file("f")); };
  std::string bed = bed_bytes(kRows);
  write_fileset(dir, bed.substr(0, bed.size() - 1));
  EXPECT_NE(error_of(open).find("f.bed: 8 bytes, expected 9 (3 + 3 markers of"), std::string::npos) << error_of(open);
  bed[1] = 'x';
  write_fileset(dir, bed);
  EXPECT_NE(error_of(open).find("not a PLINK 1 binary genotype file"), std::string::npos);
  bed[1] = '\x1b';
  bed[2] = '\0';
  write_fileset(dir, bed);
  EXPECT_NE(error_of(open).find("not in SNP-major mode"), std::string::npos);
  write_fileset(dir, bed_bytes(kRows));
  dir.write("f.bim", "1 rs1 0 100 A G\n1 rs2 0 200 C\n");
  EXPECT_NE(error_of(open).find("line 2 of " + dir.file("f.bim") + ": expected 6 fields"), std::string::npos);
  dir.write("f.bim", "1 rs1 0 1e2 A G\n");
  EXPECT_NE(error_of(open).find("position \"1e2\" is no whole number"), std::string::npos);
  dir.write("f.bim", "1 rs1 0 100 A G\n");  // one marker: the .bed is too long
  EXPECT_NE(error_of(open).find("bytes, expected 5 (3 + 1 markers"), std::string::npos);
  dir.write("f.fam", "F1 a 0 0 1\n");
  EXPECT_NE(error_of(open).find("line 1 of " + dir.file("f.fam")), std::string::npos);
  std::remove(dir.file("f.fam").c_str());
  EXPECT_NE(error_of(open).find("Error: cannot open " + dir.file("f.fam")), std::string::npos);
}

constexpr const char* kVcfHeader =
    "##fileformat=VCFv4.2\n##contig=<ID=1>\n##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
    "##FORMAT=<ID=DP,Number=1,Type=Integer,Description=\"Depth\">\n"
    "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ts1\ts2\ts3\ts4\ts5\n";

TEST(VcfReader, CountsAltCopiesOfBiallelicRecords) {
  TempDir dir;
  dir.write("v.vcf", std::string(kVcfHeader) +
                         "1\t10\trs1\tA\tG\t.\t.\t.\tGT\t0/0\t0|1\t1/1\t./.\t1\n"
                         "1\t20\trs2\tA\tC,T\t.\t.\t.\tGT\t0/0\t0/1\t1/2\t0/0\t0/0\n"
                         "1\t30\t.\tC\tT\t.\t.\t.\tGT\t1/0\t0/.\t0/1/1\t1|1\t0/0\n"
                         "1\t40\trs4\tG\tA\t.\t.\t.\tDP\t1\t2\t3\t4\t5\n");
  const auto reader = open_vcf(dir.file("v.vcf"));
  ASSERT_EQ(reader->samples().size(), 5u);
  EXPECT_EQ(reader->samples()[4].id, "s5");
  EXPECT_EQ(reader->samples()[4].family, "s5");
  const GenotypeTable table = read_table(*reader);
  ASSERT_EQ(table.block.size(), 2u);
  EXPECT_EQ((Codes(table.block.codes_of(0).begin(), table.block.codes_of(0).end())), (Codes{0, 1, 2, -1, -1}));
  EXPECT_EQ((Codes(table.block.codes_of(1).begin(), table.block.codes_of(1).end())), (Codes{1, -1, -1, 2, 0}));
  const Marker& m = table.block.markers[1];
  EXPECT_EQ(m.name + " " + m.counted + m.other + " " + m.chromosome, "1:30 TC 1");
  EXPECT_EQ(table.block.indices[1], 1);
  EXPECT_EQ(reader->skipped(), 2);
  EXPECT_EQ(reader->skipped_reasons(), "1 not biallelic, 1 without GT");
}

TEST(VcfReader, DamagedFilesAreNamedErrors) {
  TempDir dir;
  const auto read_all = [&] {
    const auto reader = open_vcf(dir.file("v.vcf"));
    read_table(*reader);
  };
  dir.write("v.vcf", "not a vcf\n");
  EXPECT_NE(error_of(read_all).find(dir.file("v.vcf") + ": not a VCF or BCF file"), std::string::npos);
  dir.write("v.vcf", std::string(kVcfHeader) + "1\t10\trs1\tA\tG\t.\t.\t.\tGT\t0/0\t0/1\n");
  EXPECT_NE(error_of(read_all).find("record 1 cannot be read"), std::string::npos) << error_of(read_all);
  std::string header = kVcfHeader;
  header.erase(header.find("##FORMAT=<ID=GT"), header.find("##FORMAT=<ID=DP") - header.find("##FORMAT=<ID=GT"));
  dir.write("v.vcf", header);
  EXPECT_NE(error_of(read_all).find("no GT field in the header"), std::string::npos);
}

TEST(ImputedReader, ReadsResultLinesCountingTheSecondLetter) {
  TempDir dir;
  dir.write("r.txt", "7\trs7 700 A G 0 1 2 -1 \n\n9\trs9 900 C T 2 2 -1 0 \n");
  const auto reader = open_imputed(dir.file("r.txt"), 4, "7");
  const GenotypeTable table = read_table(*reader, {"rs9"});
  ASSERT_EQ(table.block.size(), 1u);
  const Marker& m = table.block.markers[0];
  EXPECT_EQ(m.chromosome + " " + m.name + " " + std::to_string(m.position) + " " + m.counted + m.other, "7 rs9 900 TC");
  EXPECT_EQ(table.block.indices[0], 1);
  EXPECT_EQ((Codes(table.block.codes_of(0).begin(), table.block.codes_of(0).end())), (Codes{2, 2, -1, 0}));
  const auto read_all = [&] { read_table(*open_imputed(dir.file("r.txt"), 4, "7")); };
  dir.write("r.txt", "7\trs7 700 A G 0 1 2 \n");
  EXPECT_NE(error_of(read_all).find("line 1 of " + dir.file("r.txt") + ": expected the SNP name, position, two "
                                    "letters and 4 codes (--cases + --controls), found 7 fields"),
            std::string::npos);
  dir.write("r.txt", "7\trs7 700 A G 0 1 2 -1 \n8\trs8 800 A G 0 3 2 -1 \n");
  EXPECT_NE(error_of(read_all).find("line 2 of " + dir.file("r.txt") + ": code 2 is \"3\""), std::string::npos);
  dir.write("r.txt", "rs7 700 A G 0 1 2 -1\n");
  EXPECT_NE(error_of(read_all).find("expected the marker number and a tab"), std::string::npos);
}

// The .bed reader counts its packed records without decoding them: the
// counts must equal those of the decoded codes, across 64-bit words, in a
// partial last byte and with samples left out.
TEST(BedReader, CountsPerGroupMatchTheDecodedCodes) {
  TempDir dir;
  const size_t samples = 71;  // 18 bytes: two whole words and a partial one
  std::vector<Codes> rows;
  std::string fam, bim;
  unsigned state = 7;
  const auto next = [&] { return state = state * 1103515245u + 12345u, (state >> 16) % 4; };
  for (size_t m = 0; m < 2100; ++m) {  // enough for the two-thread split
    Codes row(samples);
    for (auto& code : row) code = static_cast<std::int8_t>(static_cast<int>(next()) - 1);
    rows.push_back(row);
    bim.append("3 m").append(std::to_string(m)).append(" 0 ").append(std::to_string(m + 1)).append(" A C\n");
  }
  std::vector<std::uint8_t> groups(samples);
  for (size_t s = 0; s < samples; ++s) {
    groups[s] = static_cast<std::uint8_t>(next() % 3);  // 2: left out
    fam.append("f i").append(std::to_string(s)).append(" 0 0 1 1\n");
  }
  dir.write("c.fam", fam);
  dir.write("c.bim", bim);
  dir.write("c.bed", bed_bytes(rows));
  const auto reader = open_bed(dir.file("c"));
  MarkerBlock block;
  std::vector<GroupCounts> counts;
  size_t seen = 0;
  while (reader->count_block(block, counts, 4096, groups)) {
    ASSERT_EQ(counts.size(), block.size());
    EXPECT_TRUE(block.codes.empty());
    for (size_t k = 0; k < counts.size(); ++k, ++seen) {
      ASSERT_EQ(block.markers[k].name, std::string("m").append(std::to_string(seen)));
      const GroupCounts expected = count_groups(rows[seen], groups);
      ASSERT_EQ(counts[k].group, expected.group) << "marker " << seen;
    }
  }
  EXPECT_EQ(seen, rows.size());
}

TEST(ForEachMarker, VisitsEveryMarkerOnceInOrder) {
  TempDir dir;
  write_fileset(dir, bed_bytes(kRows));
  const auto reader = open_bed(dir.file("f"));
  std::vector<long> seen;
  int twos = 0;
  for_each_marker(
      *reader,
      [&](long index, const Marker&, std::span<const std::int8_t> codes) {
        seen.push_back(index);
        for (const auto c : codes) twos += c == 2;
      },
      2);
  EXPECT_EQ(seen, (std::vector<long>{0, 1, 2}));
  EXPECT_EQ(twos, 4);
}

}  // namespace
}  // namespace snp::genotypes
