#include "impute/probability_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/errors.h"
#include "impute/result_writer.h"

namespace snp {
namespace {

[[noreturn]] void probability_file_error(const std::string& path, const char* what) {
  throw FatalError("Error: " + path + ": " + what + " (" + std::strerror(errno) + ")\n", Channel::standard_error);
}

void append_probability(std::string& line, double p) {
  char text[16];
  const int length = std::snprintf(text, sizeof text, "%.4f ", p);
  line.append(text, static_cast<size_t>(length));
}

}  // namespace

ProbabilityWriter::ProbabilityWriter(const std::string& path, const ReferencePanel& panel)
    : path_(path), panel_(panel), file_(path), out_(file_.stream()) {
  if (!file_.created()) probability_file_error(path_, "cannot create the probability file");
}

void ProbabilityWriter::write(int t, const std::vector<GenotypeCall>& calls) {
  line_.clear();
  append_line_header(line_, panel_, t);
  for (const GenotypeCall& call : calls) {
    if (!call.estimated) {
      line_ += "NA NA NA ";
      continue;
    }
    for (double p : call.probabilities) append_probability(line_, p);
  }
  line_ += '\n';
  out_ << line_;
  if (!out_) probability_file_error(path_, "cannot write the probability file");
}

void ProbabilityWriter::close() {
  if (!file_.commit()) probability_file_error(path_, "cannot write the probability file");
}

}  // namespace snp
