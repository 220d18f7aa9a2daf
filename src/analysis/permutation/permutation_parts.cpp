#include "analysis/permutation/permutation_parts.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <sstream>

#include "analysis/state/work_files.h"
#include "base/errors.h"

namespace snp {
namespace {

constexpr const char* kHeader = "csm-analysis permutation part 1";

[[noreturn]] void bad_part(const std::string& path, const std::string& what) {
  throw InputError(InputProblem::inconsistent, "Error: " + path + ": " + what + "\n");
}

std::string exact(double value) {
  std::ostringstream text;
  text << std::hexfloat << value;
  return text.str();
}

// Reads the part file field by field; every field missing or malformed is
// an error naming the file.
class PartReader {
 public:
  PartReader(const std::string& path, std::string text) : path_(path), text_(std::move(text)) {}

  std::string word() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n')) ++at_;
    const size_t start = at_;
    while (at_ < text_.size() && text_[at_] != ' ' && text_[at_] != '\n') ++at_;
    if (start == at_) bad_part(path_, "the file ends early: not a complete part");
    return text_.substr(start, at_ - start);
  }
  void expect(const std::string& label) {
    if (word() != label) bad_part(path_, "expected \"" + label + "\": not a part file, or a damaged one");
  }
  long number(long smallest) {
    const std::string text = word();
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || value < smallest || value > 2147483647L) bad_part(path_, "bad number \"" + text + "\"");
    return value;
  }
  double real() {
    const std::string text = word();
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0') bad_part(path_, "bad value \"" + text + "\"");
    return value;
  }
  // "<length>\n" and that many bytes.
  std::string block() {
    const auto length = static_cast<size_t>(number(0));
    if (at_ >= text_.size() || text_[at_] != '\n' || text_.size() - at_ - 1 < length)
      bad_part(path_, "the file ends early: not a complete part");
    std::string bytes = text_.substr(at_ + 1, length);
    at_ += 1 + length;
    return bytes;
  }

 private:
  std::string path_;
  std::string text_;
  size_t at_ = 0;
};

void block(std::ostringstream& out, const std::string& label, const std::string& bytes) {
  out << label << ' ' << bytes.size() << '\n' << bytes << '\n';
}

}  // namespace

std::optional<PermutationRange> parse_permutation_range(const std::string& text) {
  const auto colon = text.find(':');
  if (colon == std::string::npos) return std::nullopt;
  const auto whole = [](const std::string& digits) -> std::optional<int> {
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
      return std::nullopt;
    return std::stoi(digits);
  };
  const auto first = whole(text.substr(0, colon));
  const auto last = whole(text.substr(colon + 1));
  if (!first || !last || *first < 1 || *last < *first) return std::nullopt;
  return PermutationRange{*first, *last};
}

std::string part_file_name(const PermutationRange& range) {
  return "csm_part_" + std::to_string(range.first) + "_" + std::to_string(range.last) + ".txt";
}

std::string part_text(const PermutationPart& part) {
  std::ostringstream out;
  out << kHeader << "\nfingerprint " << part.fingerprint << "\npermutations " << part.total << ' '
      << (part.ran ? 1 : 0) << ' ' << part.range.first << ' ' << part.range.last << "\nobserved "
      << exact(part.observed) << '\n';
  for (size_t p = 0; p < part.fits.size(); ++p) {
    out << "fit " << exact(part.fits[p]) << '\n';
    block(out, "console", part.console[p]);
  }
  out << "last " << (part.holds_last ? 1 : 0) << '\n';
  if (part.holds_last) {
    block(out, "store", part.store);
    out << "coefficients " << (part.coefficients ? 1 : 0) << '\n';
    if (part.coefficients) block(out, "file", *part.coefficients);
  }
  out << "end\n";
  return out.str();
}

PermutationPart read_part(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError(InputProblem::cannot_open, "Error: cannot open " + path + "\n");
  PartReader r(path, std::string(std::istreambuf_iterator<char>(in), {}));
  PermutationPart part;
  for (const char* label : {"csm-analysis", "permutation", "part", "1"}) r.expect(label);
  r.expect("fingerprint");
  part.fingerprint = r.word();
  r.expect("permutations");
  part.total = static_cast<int>(r.number(0));
  part.ran = r.number(0) != 0;
  part.range.first = static_cast<int>(r.number(1));
  part.range.last = static_cast<int>(r.number(part.range.first));
  r.expect("observed");
  part.observed = r.real();
  const int held = part.ran ? std::min(part.range.last, part.total) - part.range.first + 1 : 0;
  for (int p = 0; p < held; ++p) {
    r.expect("fit");
    part.fits.push_back(r.real());
    r.expect("console");
    part.console.push_back(r.block());
  }
  r.expect("last");
  part.holds_last = r.number(0) != 0;
  if (part.holds_last) {
    r.expect("store");
    part.store = r.block();
    r.expect("coefficients");
    if (r.number(0) != 0) {
      r.expect("file");
      part.coefficients = r.block();
    }
  }
  r.expect("end");
  return part;
}

std::string input_fingerprint(const AnalysisInput& input, const std::string& parameters) {
  // 64-bit FNV-1a over every value and the shape of every table.
  std::uint64_t hash = 14695981039346656037ull;
  const auto add = [&](long long value) {
    for (int byte = 0; byte < 8; ++byte) {
      hash ^= static_cast<std::uint64_t>(value >> (8 * byte)) & 0xFF;
      hash *= 1099511628211ull;
    }
  };
  const auto add_table = [&](const auto& table) {
    add(static_cast<long long>(table.size()));
    for (const auto& row : table) {
      add(static_cast<long long>(row.size()));
      for (const auto value : row) add(value);
    }
  };
  add_table(input.genotypes);
  add_table(input.phenotypes);
  add_table(input.columns);
  add(input.first_permuted);
  for (const char c : parameters) add(c);
  std::ostringstream text;
  text << std::hex << std::setw(16) << std::setfill('0') << hash;
  return text.str();
}

const PermutationPart* PermutationJobs::part_of(int number) const {
  for (const auto& part : parts)
    if (number >= part.range.first && number <= part.range.last) return &part;
  return nullptr;
}

void check_parts(const std::vector<PermutationPart>& parts, const std::vector<std::string>& paths,
                 const std::string& fingerprint) {
  for (size_t i = 0; i < parts.size(); ++i) {
    if (parts[i].fingerprint != fingerprint)
      bad_part(paths[i], "made from other inputs or another parameter file than this run's");
    if (parts[i].total != parts.front().total || parts[i].ran != parts.front().ran ||
        parts[i].observed != parts.front().observed)
      bad_part(paths[i], "does not agree with " + paths.front() + " on the run");
  }
  const int total = parts.front().total;
  std::vector<int> holder(static_cast<size_t>(total) + 1, -1);
  for (size_t i = 0; i < parts.size(); ++i) {
    for (int p = parts[i].range.first; p <= std::min(parts[i].range.last, total); ++p) {
      if (holder[static_cast<size_t>(p)] >= 0)
        bad_part(paths[i], "permutation " + std::to_string(p) + " is also in " +
                               paths[static_cast<size_t>(holder[static_cast<size_t>(p)])]);
      holder[static_cast<size_t>(p)] = static_cast<int>(i);
    }
  }
  if (!parts.front().ran) return;
  for (int p = 1; p <= total; ++p)
    if (holder[static_cast<size_t>(p)] < 0)
      throw InputError(InputProblem::inconsistent,
                       "Error: no part holds permutation " + std::to_string(p) + " of " + std::to_string(total) + "\n");
}

}  // namespace snp
