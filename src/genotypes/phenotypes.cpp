#include "genotypes/phenotypes.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>
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

// A value of the status column and the line it stands on.
struct ReadValue {
  size_t sample;
  double value;
  long line;
};

bool is_whole(double value) { return value == std::trunc(value); }

std::string number_text(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

// Codes the values read (see PhenotypeOptions) into p.values.
void settle_coding(Phenotypes& p, const std::vector<ReadValue>& read, const std::string& path,
                   const PhenotypeOptions& options) {
  const auto is_code = [](double v) { return v == 0 || v == 1 || v == 2; };
  const auto codes = std::count_if(read.begin(), read.end(), [&](const ReadValue& r) { return is_code(r.value); });
  const bool fraction = std::any_of(read.begin(), read.end(), [](const ReadValue& r) { return !is_whole(r.value); });
  if (!options.quantitative && (fraction || 2 * static_cast<size_t>(codes) < read.size()))
    p.notes.push_back("Note: " + path + ": the phenotype is read as quantitative (" +
                      (fraction ? "not all values are whole numbers" : "most values are not 0, 1 or 2") +
                      (options.quantitative_option.empty() ? ")" : "; " + options.quantitative_option + " says so)"));
  if (options.quantitative || fraction || 2 * static_cast<size_t>(codes) < read.size()) {
    p.kind = PhenotypeKind::quantitative;
    for (const ReadValue& r : read) p.values[r.sample] = r.value;
    return;
  }
  // 2/1 as soon as a 2 appears (its 0 is missing) or no 0 does; else 1/0.
  const auto holds = [&](double v) {
    return std::any_of(read.begin(), read.end(), [v](const ReadValue& r) { return r.value == v; });
  };
  const bool two_one = holds(2) || !holds(0);
  for (const ReadValue& r : read) {
    if (!is_code(r.value))
      throw malformed_line(path, r.line,
                           "phenotype " + number_text(r.value) + " fits no case/control coding (" +
                               (two_one ? "2 case, 1 control, 0 missing" : "1 case, 0 control") +
                               "; -9 and NA missing)" +
                               (options.quantitative_option.empty()
                                    ? ""
                                    : "; " + options.quantitative_option + " reads a quantitative phenotype"));
    if (two_one)
      p.values[r.sample] = r.value == 0 ? std::nullopt : std::optional<double>(r.value == 2 ? 1.0 : 0.0);
    else
      p.values[r.sample] = r.value;
  }
}

// A UTF-8 byte-order mark that some editors put first is no part of the text.
std::string_view without_byte_order_mark(std::string_view text) {
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  if (text.starts_with(kMark)) text.remove_prefix(kMark.size());
  return text;
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

Phenotypes phenotypes_from_fam(const std::vector<Sample>& samples, const std::string& fam_path,
                               const PhenotypeOptions& options) {
  Phenotypes p;
  p.values.assign(samples.size(), std::nullopt);
  std::vector<ReadValue> read;
  for (size_t s = 0; s < samples.size(); ++s) {
    const std::string& text = samples[s].phenotype;
    if (text == "NA") continue;
    const auto value = parse_double(text);
    if (!value)
      throw inconsistent_file(fam_path, "phenotype " + shown(text) + " of sample " + std::to_string(s + 1) + " (" +
                                            samples[s].id + ") is no number (NA or -9 for missing)");
    if (*value != -9) read.push_back({s, *value, static_cast<long>(s + 1)});
  }
  settle_coding(p, read, fam_path, options);
  count_excluded(p);
  return p;
}

Phenotypes phenotypes_from_case_list(const std::vector<Sample>& samples, const std::string& path) {
  const FileText text = read_text_file(path);
  const SampleIndex index(samples);
  Phenotypes p;
  p.values.assign(samples.size(), 0.0);
  for_each_line(without_byte_order_mark(text.view()), [&](long line, std::string_view content) {
    const auto fields = split_fields(content);
    if (fields.empty()) return;
    if (fields.size() > 2)
      throw malformed_line(path, line, "expected one sample ID (or FID and IID), found " +
                                           std::to_string(fields.size()) + " fields");
    const std::vector<size_t>* found = fields.size() == 2 ? index.find(fields[0], fields[1]) : index.find(fields[0]);
    if (!found) {
      ++p.unmatched_ids;
      p.unmatched.emplace_back(fields.size() == 2 ? std::string(fields[0]) + ' ' + std::string(fields[1])
                                                  : std::string(fields[0]));
      return;
    }
    for (const size_t s : *found) p.values[s] = 1.0;
  });
  return p;
}

Phenotypes phenotypes_from_file(const std::vector<Sample>& samples, const std::string& path,
                                const PhenotypeOptions& options) {
  const FileText text = read_text_file(path);
  const SampleIndex index(samples);
  Phenotypes p;
  p.values.assign(samples.size(), std::nullopt);
  std::vector<bool> named(samples.size(), false);
  std::vector<ReadValue> read;
  std::optional<size_t> family_column, id_column, value_column;
  size_t columns = 0;
  for_each_line(without_byte_order_mark(text.view()), [&](long line, std::string_view content) {
    const auto fields = split_fields(content);
    if (columns == 0) {
      if (fields.empty()) throw malformed_line(path, line, "expected a header line (FID IID or ID, then phenotypes)");
      std::vector<std::string> value_names;
      for (size_t f = 0; f < fields.size(); ++f) {
        const std::string name = upper(fields[f]);
        if (name == "FID" && !family_column) family_column = f;
        else if ((name == "IID" || name == "ID") && !id_column) id_column = f;
        else {
          value_names.emplace_back(fields[f]);
          if (!value_column && (options.column.empty() || fields[f] == options.column)) value_column = f;
        }
      }
      if (!id_column) throw malformed_line(path, line, "the header names no IID or ID column");
      if (!value_column)
        throw malformed_line(path, line, options.column.empty() ? "the header names no phenotype column"
                                                                : "the header names no column " + shown(options.column));
      if (value_names.size() > 1 && options.column.empty())
        p.notes.push_back("Note: " + path + ": the phenotype is column " + std::string(fields[*value_column]) +
                          ", the first of " + std::to_string(value_names.size()) +
                          " value columns (--pheno-name NAME reads another)");
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
      p.unmatched.emplace_back(fields[*id_column]);
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
      if (value) read.push_back({s, *value, line});
    }
  });
  if (columns == 0) throw inconsistent_file(path, "empty (expected a header line and one line per sample)");
  settle_coding(p, read, path, options);
  count_excluded(p);
  return p;
}

Phenotypes phenotypes_from_counts(int cases, int controls) {
  Phenotypes p;
  p.values.assign(static_cast<size_t>(cases), 1.0);
  p.values.resize(static_cast<size_t>(cases) + static_cast<size_t>(controls), 0.0);
  return p;
}

std::string listed_ids(const std::vector<std::string>& ids, size_t shown) {
  static const char* const kHex = "0123456789abcdef";
  std::string list;
  for (size_t i = 0; i < ids.size() && i < shown; ++i) {
    list += i ? ", \"" : "\"";
    for (const char c : ids[i]) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20 || byte >= 0x7f || c == '"' || c == '\\')
        list.append("\\x").append(1, kHex[byte >> 4]).append(1, kHex[byte & 15]);
      else
        list += c;
    }
    list += '"';
  }
  if (ids.size() > shown) list += ", ...";
  return list;
}

}  // namespace snp::genotypes
