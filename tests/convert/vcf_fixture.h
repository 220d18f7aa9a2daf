// Small VCF files for the converter tests, written as text, bgzipped text or
// BCF through htslib.
#pragma once

#include <htslib/bgzf.h>
#include <htslib/vcf.h>

#include <set>
#include <sstream>
#include <stdexcept>
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

// Writes `text` bgzip-compressed.
inline void write_bgzipped(const std::string& path, const std::string& text) {
  BGZF* file = bgzf_open(path.c_str(), "w");
  if (!file) throw std::runtime_error("cannot create " + path);
  const bool ok = bgzf_write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  if (bgzf_close(file) != 0 || !ok) throw std::runtime_error("cannot write " + path);
}

// Converts the VCF at `vcf_path` into BCF at `bcf_path`.
inline void write_bcf(const std::string& vcf_path, const std::string& bcf_path) {
  htsFile* in = hts_open(vcf_path.c_str(), "r");
  htsFile* out = hts_open(bcf_path.c_str(), "wb");
  if (!in || !out) throw std::runtime_error("cannot convert " + vcf_path);
  bcf_hdr_t* header = bcf_hdr_read(in);
  bool ok = header && bcf_hdr_write(out, header) == 0;
  bcf1_t* record = bcf_init();
  while (ok && bcf_read(in, header, record) == 0) ok = bcf_write(out, header, record) == 0;
  bcf_destroy(record);
  if (header) bcf_hdr_destroy(header);
  hts_close(in);
  if (hts_close(out) != 0 || !ok) throw std::runtime_error("cannot write " + bcf_path);
}

}  // namespace snp::convert::test
