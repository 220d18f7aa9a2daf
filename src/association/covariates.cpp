#include "association/covariates.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "base/errors.h"
#include "genotypes/text_fields.h"

namespace snp::association {
namespace {

using genotypes::shown;

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();

std::string without_hash(std::string_view name) {
  return std::string(!name.empty() && name[0] == '#' ? name.substr(1) : name);
}

// Positions of the ID columns and of the covariates kept, from the header.
struct Layout {
  long family = -1;
  long id = -1;
  std::vector<size_t> kept;
  std::vector<std::string> names;
  size_t fields = 0;
};

Layout layout_of(const std::vector<std::string_view>& header, const std::vector<std::string>& chosen,
                 const std::string& path) {
  Layout layout;
  layout.fields = header.size();
  std::unordered_map<std::string, size_t> covariate_at;
  for (size_t f = 0; f < header.size(); ++f) {
    const std::string name = without_hash(header[f]);
    if (f == 0 && name == "FID") layout.family = 0;
    else if (layout.id < 0 && f <= 1 && (name == "IID" || name == "ID")) layout.id = static_cast<long>(f);
    else if (!covariate_at.emplace(name, f).second)
      throw malformed_line(path, 1, "the header names column " + shown(name) + " twice");
  }
  if (layout.id < 0) throw malformed_line(path, 1, "expected a header beginning FID IID or IID");
  if (chosen.empty()) {
    for (size_t f = static_cast<size_t>(layout.id) + 1; f < header.size(); ++f) {
      layout.kept.push_back(f);
      layout.names.push_back(std::string(header[f]));
    }
  }
  for (const std::string& name : chosen) {
    const auto found = covariate_at.find(name);
    if (found == covariate_at.end()) throw malformed_line(path, 1, "the header names no column " + shown(name));
    layout.kept.push_back(found->second);
    layout.names.push_back(name);
  }
  if (layout.kept.empty()) throw malformed_line(path, 1, "the header names no covariate column");
  return layout;
}

double value_of(std::string_view text, const std::string& column, const std::string& path, long line) {
  if (text == "NA" || text == "nan" || text == "NaN") return kMissing;
  double value = 0;
  const char* begin = text.data();
  if (!text.empty() && text[0] == '+') ++begin;
  const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    throw malformed_line(path, line,
                         "covariate " + shown(column) + " holds " + shown(text) +
                             ", expected a number or NA (code categories as 0/1 columns)");
  return value;
}

}  // namespace

std::vector<std::string> split_names(const std::string& list) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t end = std::min(list.find(',', start), list.size());
    if (end > start) names.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

Covariates read_covariates(const std::vector<genotypes::Sample>& samples, const std::string& path,
                           const std::vector<std::string>& chosen) {
  const FileText text = genotypes::read_text_file(path);
  std::unordered_map<std::string, size_t> by_id, by_family_and_id;
  for (size_t s = 0; s < samples.size(); ++s) {
    by_id.emplace(samples[s].id, s);
    by_family_and_id.emplace(samples[s].family + '\t' + samples[s].id, s);
  }
  Covariates covariates;
  Layout layout;
  std::vector<bool> seen(samples.size(), false);
  genotypes::for_each_line(text.view(), [&](long line, std::string_view content) {
    const auto fields = genotypes::split_fields(content);
    if (line == 1) {
      if (fields.empty()) throw malformed_line(path, 1, "expected a header beginning FID IID or IID");
      layout = layout_of(fields, chosen, path);
      covariates.names = layout.names;
      covariates.values.assign(samples.size() * layout.kept.size(), kMissing);
      return;
    }
    if (fields.empty()) return;
    if (fields.size() != layout.fields)
      throw malformed_line(path, line, "expected " + std::to_string(layout.fields) + " fields as in the header, found " +
                                           std::to_string(fields.size()));
    const std::string id(fields[static_cast<size_t>(layout.id)]);
    const auto pair = layout.family >= 0 ? by_family_and_id.find(std::string(fields[0]) + '\t' + id)
                                         : by_family_and_id.end();
    const auto alone = by_id.find(id);
    if (pair == by_family_and_id.end() && alone == by_id.end()) {
      ++covariates.unmatched_ids;
      return;
    }
    const size_t sample = pair != by_family_and_id.end() ? pair->second : alone->second;
    if (seen[sample]) throw malformed_line(path, line, "sample " + shown(id) + " named a second time");
    seen[sample] = true;
    for (size_t c = 0; c < layout.kept.size(); ++c)
      covariates.values[sample * layout.kept.size() + c] = value_of(fields[layout.kept[c]], layout.names[c], path, line);
  });
  if (covariates.names.empty())
    throw inconsistent_file(path, "empty (expected a header line and one line per sample)");
  return covariates;
}

}  // namespace snp::association
