// Study: genotypes of cases and controls on one chromosome to the study map
// and the two study genotype files.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/panel_converter.h"
#include "convert/site_scan.h"
#include "convert/vcf_reader.h"

namespace snp::convert {

inline constexpr const char* kStudyMapFile = "normal.map";
inline constexpr const char* kCaseMapFile = "disease.map";
inline constexpr const char* kCaseGenotypeFile = "disease.geno";
inline constexpr const char* kControlGenotypeFile = "normal.geno";
inline constexpr const char* kStudyLayoutFile = "study_layout.tsv";

struct StudySample {
  std::string id;
  bool is_case = false;
  std::string letters;  // two per marker: allele letters, '0' missing
};

struct StudyData {
  std::vector<ConvertedMarker> markers;
  std::vector<StudySample> samples;  // in VCF order
  long non_diploid_genotypes = 0;    // written as missing
  ScanSummary summary;

  int count(bool cases) const;
};

// Sample IDs of the cases: the first word of every line; blank lines and
// lines starting with "#" are skipped, repeated IDs count once.
std::vector<std::string> parse_case_ids(std::string_view text, const std::string& path);

// Throws InputError when a case ID is not a sample of the VCF or a sample ID
// holds white space (the genotype files could not hold it).
StudyData convert_study(VcfReader& reader, const std::vector<std::string>& case_ids, const std::string& ids_path,
                        const std::optional<std::string>& chromosome);

struct NameMatch {
  long by_name = 0;
  long by_position = 0;  // renamed to the panel marker at their position
  long unmatched = 0;
};

// Study markers whose name is not in the panel but whose position and
// letters (same, swapped or complementary) are take the panel marker's name.
NameMatch match_panel_names(StudyData& study, const std::vector<ConvertedMarker>& panel);

// Study map: "chrom number name REF ALT position 0 0" per marker, so that
// the genotype code (copies of the fifth field's letter) counts ALT.
void write_study_map(const StudyData& study, std::ostream& out);
// Genotype lines "ID 1" (cases) or "ID 0" (controls), one blank, then every
// allele letter followed by one blank.
void write_genotypes(const StudyData& study, bool cases, std::ostream& out);
// The contig name and sample order of the study VCF, for writing results in
// its terms: a '#' comment naming the VCF, "contig<TAB>NAME", then
// "sample<TAB>ID" per sample in VCF order.
void write_study_layout(const StudyData& study, const std::string& vcf_path, std::ostream& out);

}  // namespace snp::convert
