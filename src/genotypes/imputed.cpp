// The imputation program's result file, one line per marker:
// "N<TAB>NAME POSITION L1 L2 " then a code and a blank per individual.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/errors.h"
#include "base/text_source.h"
#include "genotypes/genotypes.h"
#include "genotypes/text_fields.h"

namespace snp::genotypes {
namespace {

// Fields before the codes: name, position and the two letters.
constexpr size_t kMarkerFields = 4;

class ImputedReader final : public GenotypeReader {
 public:
  ImputedReader(const std::string& path, int samples, std::string chromosome) : chromosome_(std::move(chromosome)) {
    path_ = path;
    for (int s = 1; s <= samples; ++s) samples_.push_back(Sample{std::to_string(s), std::to_string(s), 0, ""});
    file_.reset(std::fopen(path.c_str(), "r"));
    if (!file_)
      throw InputError(InputProblem::cannot_open, "Error: cannot open " + path + " (" + std::strerror(errno) + ")\n");
  }
  ~ImputedReader() override { std::free(line_); }
  ImputedReader(const ImputedReader&) = delete;
  ImputedReader& operator=(const ImputedReader&) = delete;

  bool read_block(MarkerBlock& block, size_t limit, const MarkerFilter& wanted) override {
    block.clear();
    block.samples = samples_.size();
    Marker marker;
    while (block.size() < limit) {
      const ssize_t length = ::getline(&line_, &capacity_, file_.get());
      if (length < 0) {
        if (std::ferror(file_.get())) throw InputError(InputProblem::malformed, "Error: cannot read " + path_ + "\n");
        break;
      }
      ++line_number_;
      std::string_view line(line_, static_cast<size_t>(length));
      if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
      if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
      const size_t tab = line.find('\t');
      if (tab == std::string_view::npos || tab == 0 || !parse_int(line.substr(0, tab)))
        throw malformed_line(path_, line_number_, "expected the marker number and a tab at the start");
      const auto fields = split_fields(line.substr(tab + 1));
      if (fields.size() != kMarkerFields + samples_.size())
        throw malformed_line(path_, line_number_,
                             "expected the SNP name, position, two letters and " + std::to_string(samples_.size()) +
                                 " codes (--cases + --controls), found " + std::to_string(fields.size()) +
                                 " fields after the marker number");
      const auto position = parse_int(fields[1]);
      if (!position) throw malformed_line(path_, line_number_, "position " + shown(fields[1]) + " is no whole number");
      marker = Marker{chromosome_, std::string(fields[0]), *position, std::string(fields[3]), std::string(fields[2])};
      ++markers_read_;
      if (wanted && !wanted(marker)) continue;
      const size_t at = block.codes.size();
      block.codes.resize(at + samples_.size());
      for (size_t s = 0; s < samples_.size(); ++s) {
        const std::string_view code = fields[kMarkerFields + s];
        if (code == "-1") {
          block.codes[at + s] = kMissingCode;
        } else if (code.size() == 1 && code[0] >= '0' && code[0] <= '2') {
          block.codes[at + s] = static_cast<std::int8_t>(code[0] - '0');
        } else {
          throw malformed_line(path_, line_number_, "code " + std::to_string(s + 1) + " is " + shown(code) +
                                                        ", expected 0, 1, 2 or -1");
        }
      }
      block.markers.push_back(std::move(marker));
      block.indices.push_back(markers_read_ - 1);
    }
    return block.size() > 0;
  }

 private:
  std::string chromosome_;
  std::unique_ptr<std::FILE, decltype(&std::fclose)> file_{nullptr, &std::fclose};
  char* line_ = nullptr;
  size_t capacity_ = 0;
  long line_number_ = 0;
  long markers_read_ = 0;
};

}  // namespace

std::unique_ptr<GenotypeReader> open_imputed(const std::string& path, int samples, const std::string& chromosome) {
  return std::make_unique<ImputedReader>(path, samples, chromosome);
}

}  // namespace snp::genotypes
