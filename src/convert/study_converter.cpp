#include "convert/study_converter.h"

#include <algorithm>
#include <map>
#include <ostream>
#include <set>
#include <unordered_set>

#include "base/text_source.h"
#include "base/errors.h"

namespace snp::convert {
namespace {

void check_sample_ids(const VcfReader& reader) {
  for (const std::string& id : reader.samples())
    if (std::any_of(id.begin(), id.end(), is_space))
      throw inconsistent_file(reader.path(), "sample ID \"" + id + "\" holds white space, which the genotype files cannot hold");
}

// Marks the cases; throws when a case ID is not a sample of the VCF.
std::vector<StudySample> label_samples(const VcfReader& reader, const std::vector<std::string>& case_ids,
                                       const std::string& ids_path) {
  const std::set<std::string> cases(case_ids.begin(), case_ids.end());
  std::vector<StudySample> samples;
  std::set<std::string> found;
  for (const std::string& id : reader.samples()) {
    samples.push_back({id, cases.count(id) > 0, {}});
    if (samples.back().is_case) found.insert(id);
  }
  std::vector<std::string> absent;
  for (const std::string& id : case_ids)
    if (!found.count(id)) absent.push_back(id);
  if (absent.empty()) return samples;
  std::string list;
  for (size_t k = 0; k < absent.size() && k < 5; ++k) list += (k ? ", " : "") + absent[k];
  if (absent.size() > 5) list += ", ...";
  throw inconsistent_file(ids_path, std::to_string(absent.size()) + " case ID(s) not among the samples of " +
                                        reader.path() + ": " + list);
}

char study_letter(int allele, const ConvertedMarker& m) {
  return allele == kMissingAllele ? '0' : allele == 0 ? m.ref : m.alt;
}

void append_letters(const VariantRecord& record, const ConvertedMarker& marker, StudyData& study) {
  for (size_t s = 0; s < record.genotypes.size(); ++s) {
    const Genotype& g = record.genotypes[s];
    std::string& letters = study.samples[s].letters;
    if (g.ploidy != 2 && !g.all_missing()) {
      ++study.non_diploid_genotypes;
      letters += "00";
      continue;
    }
    letters.push_back(study_letter(g.first, marker));
    letters.push_back(study_letter(g.ploidy >= 2 ? g.second : kMissingAllele, marker));
  }
}

char complement(char c) {
  switch (c) {
    case 'A': return 'T';
    case 'T': return 'A';
    case 'C': return 'G';
    case 'G': return 'C';
    default: return c;
  }
}

bool same_letters(const ConvertedMarker& a, const ConvertedMarker& b) {
  const auto pair = [](char x, char y) { return x < y ? std::pair(x, y) : std::pair(y, x); };
  return pair(a.ref, a.alt) == pair(b.ref, b.alt) ||
         pair(a.ref, a.alt) == pair(complement(b.ref), complement(b.alt));
}

}  // namespace

int StudyData::count(bool cases) const {
  return static_cast<int>(std::count_if(samples.begin(), samples.end(),
                                        [cases](const StudySample& s) { return s.is_case == cases; }));
}

std::vector<std::string> parse_case_ids(std::string_view text, const std::string& path) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  std::vector<std::string> ids;
  std::unordered_set<std::string> seen;
  TextScanner scanner(text);
  for (long number = 1; !scanner.at_end(); ++number) {
    TextScanner line(scanner.rest_of_line());
    std::string_view word, more;
    if (!line.next_token(word) || word.front() == '#') continue;
    if (line.next_token(more))
      throw malformed_line(path, number, "expected one sample ID, found \"" + std::string(word) + "\" followed by \"" +
                                             std::string(more) + "\"");
    if (seen.insert(std::string(word)).second) ids.emplace_back(word);
  }
  return ids;
}

StudyData convert_study(VcfReader& reader, const std::vector<std::string>& case_ids, const std::string& ids_path,
                        const std::optional<std::string>& chromosome) {
  check_sample_ids(reader);
  StudyData study;
  study.samples = label_samples(reader, case_ids, ids_path);
  study.summary = scan_snps(reader, {chromosome, /*need_haplotypes=*/false}, [&](const VariantRecord& record) {
    study.markers.push_back(
        {marker_name(record), record.position, allele_letter(record.alleles[0]), allele_letter(record.alleles[1])});
    append_letters(record, study.markers.back(), study);
  });
  return study;
}

NameMatch match_panel_names(StudyData& study, const std::vector<ConvertedMarker>& panel) {
  std::unordered_set<std::string> names;
  std::multimap<long, const ConvertedMarker*> by_position;
  for (const ConvertedMarker& m : panel) {
    names.insert(m.name);
    by_position.emplace(m.position, &m);
  }
  NameMatch match;
  for (ConvertedMarker& m : study.markers) {
    if (names.count(m.name)) {
      ++match.by_name;
      continue;
    }
    const auto [first, last] = by_position.equal_range(m.position);
    const auto hit = std::find_if(first, last, [&](const auto& entry) { return same_letters(m, *entry.second); });
    if (hit == last) {
      ++match.unmatched;
      continue;
    }
    m.name = hit->second->name;
    ++match.by_position;
  }
  return match;
}

void write_study_map(const StudyData& study, std::ostream& out) {
  for (size_t k = 0; k < study.markers.size(); ++k) {
    const ConvertedMarker& m = study.markers[k];
    out << study.summary.chromosome << ' ' << k + 1 << ' ' << m.name << ' ' << m.ref << ' ' << m.alt << ' '
        << m.position << " 0 0\n";
  }
}

void write_genotypes(const StudyData& study, bool cases, std::ostream& out) {
  std::string line;
  for (const StudySample& s : study.samples) {
    if (s.is_case != cases) continue;
    line = s.id + (cases ? " 1 " : " 0 ");
    for (char c : s.letters) {
      line.push_back(c);
      line.push_back(' ');
    }
    line.push_back('\n');
    out << line;
  }
}

void write_study_layout(const StudyData& study, const std::string& vcf_path, std::ostream& out) {
  out << "# snp-convert study: contig and sample order of " << vcf_path << "\ncontig\t" << study.summary.chromosome
      << '\n';
  for (const StudySample& s : study.samples) out << "sample\t" << s.id << '\n';
}

}  // namespace snp::convert
