// Small VCF texts for the converter tests.
#pragma once

#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace snp::convert::test {

// A VCF text. Each row gives "CHROM POS ID REF ALT GT..." separated by
// blanks; QUAL, FILTER, INFO and FORMAT (GT) are filled in.
inline std::string vcf_text(const std::vector<std::string>& samples, const std::vector<std::string>& rows,
                            bool declare_gt = true) {
  std::ostringstream out;
  out << "##fileformat=VCFv4.2\n";
  std::set<std::string> contigs;
  for (const std::string& row : rows)
    if (const std::string chrom = row.substr(0, row.find(' ')); contigs.insert(chrom).second)
      out << "##contig=<ID=" << chrom << ">\n";
  if (declare_gt) out << "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n";
  out << "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
  for (const std::string& s : samples) out << '\t' << s;
  out << '\n';
  for (const std::string& row : rows) {
    std::istringstream fields(row);
    std::string f[5], gt;
    fields >> f[0] >> f[1] >> f[2] >> f[3] >> f[4];
    out << f[0] << '\t' << f[1] << '\t' << f[2] << '\t' << f[3] << '\t' << f[4] << "\t.\tPASS\t.\tGT";
    while (fields >> gt) out << '\t' << gt;
    out << '\n';
  }
  return out.str();
}

// What `write(data, out)` writes.
template <class Data, class Write>
std::string text_of(Write write, const Data& data) {
  std::ostringstream out;
  write(data, out);
  return out.str();
}

}  // namespace snp::convert::test
