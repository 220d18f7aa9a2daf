// Where the study individuals and the chromosome appear in the output VCF.
// snp-convert records the study VCF's contig name and sample order in
// "study_layout.tsv" beside the genotype files; with it the imputed VCF
// fits back with the user's own files. Without it the VCF keeps the order
// of the genotype files (cases, then controls) and names the contig by the
// chromosome number.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "input/study_reader.h"

namespace snp {

inline constexpr const char* kStudyLayoutFile = "study_layout.tsv";

// The layout file as written: one "contig<TAB>NAME" line, then one
// "sample<TAB>ID" line per sample; lines starting with '#' are comments.
struct RecordedLayout {
  std::string contig;
  std::vector<std::string> samples;
};

// Throws InputError naming the line when a line is neither.
RecordedLayout parse_study_layout(std::string_view text, const std::string& path);

struct VcfLayout {
  std::string contig;
  std::vector<int> sample_rows;  // study rows, in the VCF's column order
};

// Cases then controls, the contig named by its number.
VcfLayout default_vcf_layout(int chromosome, const StudyGenotypes& study);

// The recorded layout matched to the study's rows. When its samples are not
// exactly the study's, a warning names the file and the default is used.
VcfLayout vcf_layout(const RecordedLayout& recorded, const std::string& path, int chromosome,
                     const StudyGenotypes& study, std::ostream& warnings);

}  // namespace snp
