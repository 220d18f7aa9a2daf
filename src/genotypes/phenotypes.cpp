#include "genotypes/phenotypes.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <unordered_map>

#include "base/errors.h"
#include "base/text_source.h"
#include "genotypes/text_fields.h"

namespace snp::genotypes {
namespace {

bool is_missing_value(std::string_view value) { return value == "NA" || value == "-9"; }

// Sample positions by IID, and by FID and IID together. Samples of an
// input without families (VCF: FID = IID) match any FID.
class SampleIndex {
 public:
  explicit SampleIndex(const std::vector<Sample>& samples) {
    for (size_t s = 0; s < samples.size(); ++s) {
      by_id_[samples[s].id].push_back(s);
      by_family_and_id_[samples[s].family + '\t' + samples[s].id].push_back(s);
      if (samples[s].family == samples[s].id) without_family_[samples[s].id].push_back(s);
    }
  }
  const std::vector<size_t>* find(std::string_view id) const { return lookup(by_id_, std::string(id)); }
  const std::vector<size_t>* find(std::string_view family, std::string_view id) const {
    const auto* found = lookup(by_family_and_id_, std::string(family) + '\t' + std::string(id));
    return found ? found : lookup(without_family_, std::string(id));
  }

 private:
  using Map = std::unordered_map<std::string, std::vector<size_t>>;
  static const std::vector<size_t>* lookup(const Map& map, const std::string& key) {
    const auto found = map.find(key);
    return found == map.end() ? nullptr : &found->second;
  }
  Map by_id_;
  Map by_family_and_id_;
  Map without_family_;
};

// Case/control when every value is 1 or 2 (2 = case) or 0 or 1 (1 = case);
// otherwise quantitative, values kept.
void classify(Phenotypes& p) {
  std::set<double> seen;
  for (const auto& v : p.values)
    if (v) seen.insert(*v);
  const auto within = [&](std::set<double> allowed) {
    return std::includes(allowed.begin(), allowed.end(), seen.begin(), seen.end());
  };
  if (within({1, 2})) {
    for (auto& v : p.values)
      if (v) *v = *v == 2 ? 1 : 0;
  } else if (!within({0, 1})) {
    p.kind = PhenotypeKind::quantitative;
  }
}

void count_excluded(Phenotypes& p) {
  p.excluded = std::count_if(p.values.begin(), p.values.end(), [](const auto& v) { return !v.has_value(); });
}

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (!out.empty() && out[0] == '#') out.erase(0, 1);
  return out;
}

}  // namespace

long Phenotypes::cases() const {
  if (kind != PhenotypeKind::case_control) return 0;
  return std::count_if(values.begin(), values.end(), [](const auto& v) { return v && *v == 1; });
}

long Phenotypes::controls() const {
  if (kind != PhenotypeKind::case_control) return 0;
  return std::count_if(values.begin(), values.end(), [](const auto& v) { return v && *v == 0; });
}

Phenotypes phenotypes_from_fam(const std::vector<Sample>& samples, const std::string& fam_path) {
  Phenotypes p;
  bool quantitative = false;
  for (size_t s = 0; s < samples.size(); ++s) {
    const std::string& text = samples[s].phenotype;
    if (text == "NA") {
      p.values.emplace_back();
      continue;
    }
    const auto value = parse_double(text);
    if (!value)
      throw inconsistent_file(fam_path, "phenotype " + shown(text) + " of sample " + std::to_string(s + 1) + " (" +
                                            samples[s].id + ") is no number (NA or -9 for missing)");
    p.values.push_back(value);
    quantitative = quantitative || (*value != 0 && *value != 1 && *value != 2 && *value != -9);
  }
  for (auto& v : p.values) {
    if (!v) continue;
    if (*v == -9 || (!quantitative && *v == 0))
      v.reset();
    else if (!quantitative)
      *v = *v == 2 ? 1 : 0;
  }
  if (quantitative) p.kind = PhenotypeKind::quantitative;
  count_excluded(p);
  return p;
}

Phenotypes phenotypes_from_case_list(const std::vector<Sample>& samples, const std::string& path) {
  const FileText text = read_text_file(path);
  const SampleIndex index(samples);
  Phenotypes p;
  p.values.assign(samples.size(), 0.0);
  for_each_line(text.view(), [&](long line, std::string_view content) {
    const auto fields = split_fields(content);
    if (fields.empty()) return;
    if (fields.size() > 2)
      throw malformed_line(path, line, "expected one sample ID (or FID and IID), found " +
                                           std::to_string(fields.size()) + " fields");
    const std::vector<size_t>* found = fields.size() == 2 ? index.find(fields[0], fields[1]) : index.find(fields[0]);
    if (!found) {
      ++p.unmatched_ids;
      return;
    }
    for (const size_t s : *found) p.values[s] = 1.0;
  });
  return p;
}

Phenotypes phenotypes_from_file(const std::vector<Sample>& samples, const std::string& path,
                                const std::string& column) {
  const FileText text = read_text_file(path);
  const SampleIndex index(samples);
  Phenotypes p;
  p.values.assign(samples.size(), std::nullopt);
  std::vector<bool> named(samples.size(), false);
  std::optional<size_t> family_column, id_column, value_column;
  size_t columns = 0;
  for_each_line(text.view(), [&](long line, std::string_view content) {
    const auto fields = split_fields(content);
    if (columns == 0) {
      if (fields.empty()) throw malformed_line(path, line, "expected a header line (FID IID or ID, then phenotypes)");
      for (size_t f = 0; f < fields.size(); ++f) {
        const std::string name = upper(fields[f]);
        if (name == "FID" && !family_column) family_column = f;
        else if ((name == "IID" || name == "ID") && !id_column) id_column = f;
        else if (!value_column && (column.empty() ? true : fields[f] == column)) value_column = f;
      }
      if (!id_column) throw malformed_line(path, line, "the header names no IID or ID column");
      if (!value_column)
        throw malformed_line(path, line, column.empty() ? "the header names no phenotype column"
                                                        : "the header names no column " + shown(column));
      columns = fields.size();
      return;
    }
    if (fields.empty()) return;
    if (fields.size() != columns)
      throw malformed_line(path, line, "expected " + std::to_string(columns) + " fields as in the header, found " +
                                           std::to_string(fields.size()));
    const std::vector<size_t>* found =
        family_column ? index.find(fields[*family_column], fields[*id_column]) : index.find(fields[*id_column]);
    if (!found) {
      ++p.unmatched_ids;
      return;
    }
    const std::string_view text_value = fields[*value_column];
    std::optional<double> value;
    if (!is_missing_value(text_value)) {
      value = parse_double(text_value);
      if (!value) throw malformed_line(path, line, "phenotype " + shown(text_value) + " is no number (NA or -9 for missing)");
    }
    for (const size_t s : *found) {
      if (named[s]) throw malformed_line(path, line, "sample " + shown(samples[s].id) + " appears a second time");
      named[s] = true;
      p.values[s] = value;
    }
  });
  if (columns == 0) throw inconsistent_file(path, "empty (expected a header line and one line per sample)");
  classify(p);
  count_excluded(p);
  return p;
}

Phenotypes phenotypes_from_counts(int cases, int controls) {
  Phenotypes p;
  p.values.assign(static_cast<size_t>(cases), 1.0);
  p.values.resize(static_cast<size_t>(cases) + static_cast<size_t>(controls), 0.0);
  return p;
}

}  // namespace snp::genotypes
