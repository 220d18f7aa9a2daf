#include "impute/phased_vcf.h"

#include <ostream>

#include "base/errors.h"
#include "base/output_file.h"
#include "base/text_source.h"

namespace snp {
namespace {

std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> out;
  for (size_t start = 0;;) {
    const size_t tab = line.find('\t', start);
    out.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return out;
    start = tab + 1;
  }
}

}  // namespace

void write_phased_vcf(const std::string& path, int chromosome, const ReferencePanel& panel,
                      const std::vector<int>& typed_markers, const StudyGenotypes& study,
                      const std::vector<std::int8_t>& haplotypes) {
  const size_t T = typed_markers.size(), N = static_cast<size_t>(study.individuals);
  write_file_atomically(path, [&](std::ostream& out) {
    out << "##fileformat=VCFv4.2\n##contig=<ID=" << chromosome << ">\n"
        << "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Phased genotype\">\n"
        << "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    for (size_t i = 0; i < N; ++i) out << '\t' << study.ids[i];
    out << '\n';
    std::string line;
    for (size_t m = 0; m < T; ++m) {
      const size_t marker = static_cast<size_t>(typed_markers[m]);
      line = std::to_string(chromosome) + '\t' + std::to_string(panel.positions[marker]) + '\t' + panel.names[marker] +
             '\t' + panel.letters[marker][0] + '\t' + panel.letters[marker][1] + "\t.\tPASS\t.\tGT";
      for (size_t i = 0; i < N; ++i) {
        line += '\t';
        line += static_cast<char>('0' + haplotypes[2 * i * T + m]);
        line += '|';
        line += static_cast<char>('0' + haplotypes[(2 * i + 1) * T + m]);
      }
      out << line << '\n';
    }
  });
}

std::vector<std::int8_t> read_phased_vcf(const std::string& path, const ReferencePanel& panel,
                                         const std::vector<int>& typed_markers, const StudyGenotypes& study) {
  const auto text = read_file_text(path);
  if (!text) throw InputError(InputProblem::cannot_open, "Error: cannot open " + path + "\n");
  const size_t T = typed_markers.size(), N = static_cast<size_t>(study.individuals);
  std::vector<std::int8_t> haplotypes(2 * N * T);
  TextScanner scanner(*text);
  bool header = false;
  size_t m = 0;
  while (!scanner.at_end()) {
    const long number = scanner.line();
    std::string_view line = scanner.rest_of_line();
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.starts_with("##") || line.empty()) continue;
    const auto columns = fields(line);
    if (columns.size() != 9 + N)
      throw malformed_line(path, number,
                           "expected " + std::to_string(9 + N) + " fields, found " + std::to_string(columns.size()));
    if (line.starts_with("#")) {
      for (size_t i = 0; i < N; ++i)
        if (columns[9 + i] != study.ids[i])
          throw malformed_line(path, number, "expected sample " + study.ids[i] + " in column " +
                                                 std::to_string(10 + i) + ", found " + std::string(columns[9 + i]));
      header = true;
      continue;
    }
    if (!header) throw malformed_line(path, number, "expected the #CHROM header line");
    if (m >= T) throw malformed_line(path, number, "expected " + std::to_string(T) + " typed markers, found more");
    const size_t marker = static_cast<size_t>(typed_markers[m]);
    if (columns[1] != std::to_string(panel.positions[marker]) || columns[2] != panel.names[marker])
      throw malformed_line(path, number, "expected typed marker " + panel.names[marker] + " at " +
                                             std::to_string(panel.positions[marker]) + ", found " +
                                             std::string(columns[2]) + " at " + std::string(columns[1]));
    for (size_t i = 0; i < N; ++i) {
      const std::string_view gt = columns[9 + i];
      if (gt.size() != 3 || gt[1] != '|' || (gt[0] != '0' && gt[0] != '1') || (gt[2] != '0' && gt[2] != '1'))
        throw malformed_line(path, number, "expected a phased genotype 0|0, 0|1, 1|0 or 1|1 of " + study.ids[i] +
                                               ", found " + std::string(gt));
      haplotypes[2 * i * T + m] = static_cast<std::int8_t>(gt[0] - '0');
      haplotypes[(2 * i + 1) * T + m] = static_cast<std::int8_t>(gt[2] - '0');
    }
    ++m;
  }
  if (m != T)
    throw inconsistent_file(path, "expected " + std::to_string(T) + " typed markers, found " + std::to_string(m));
  return haplotypes;
}

}  // namespace snp
