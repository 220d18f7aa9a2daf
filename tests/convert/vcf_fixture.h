// Small VCF files for the converter tests, written as text, bgzipped text or
// BCF through htslib.
#pragma once

#include <string>
#include <vector>

namespace snp::convert::test {

// A VCF text. Each row gives "CHROM POS ID REF ALT GT..." separated by
// blanks; QUAL, FILTER, INFO and FORMAT (GT) are filled in.
std::string vcf_text(const std::vector<std::string>& samples, const std::vector<std::string>& rows,
                     bool declare_gt = true);

// Writes `text` bgzip-compressed.
void write_bgzipped(const std::string& path, const std::string& text);

// Converts the VCF at `vcf_path` into BCF at `bcf_path`.
void write_bcf(const std::string& vcf_path, const std::string& bcf_path);

}  // namespace snp::convert::test
