#include "impute/result_writer.h"

#include <cerrno>
#include <cstring>

#include "base/errors.h"

namespace snp {
namespace {

[[noreturn]] void result_file_error(const std::string& name, const char* what) {
  throw FatalError("Error: " + name + ": " + what + " (" + std::strerror(errno) + ")\n", Channel::standard_error);
}

}  // namespace

void append_line_header(std::string& line, const ReferencePanel& panel, int t) {
  const AllelePair& letters = panel.letters[static_cast<size_t>(t)];
  line += std::to_string(t + 1);
  line += '\t';
  line += panel.names[static_cast<size_t>(t)];
  line += ' ';
  line += std::to_string(panel.positions[static_cast<size_t>(t)]);
  line += ' ';
  line += letters[0];
  line += ' ';
  line += letters[1];
  line += ' ';
}

void append_code(std::string& line, int code) {
  if (code < 0) {
    line += "-1 ";
  } else {
    line += static_cast<char>('0' + code);
    line += ' ';
  }
}

ResultWriter::ResultWriter(const std::string& path, const ReferencePanel& panel, bool flush_each_line)
    : path_(path), panel_(panel), flush_each_line_(flush_each_line), file_(path), out_(file_.stream()) {
  if (!file_.created()) result_file_error(path_, "cannot create the result file");
}

void ResultWriter::write(int t, const std::vector<GenotypeCall>& calls) {
  line_.clear();
  append_line_header(line_, panel_, t);
  for (const GenotypeCall& call : calls) append_code(line_, call.output);
  line_ += '\n';
  out_ << line_;
  if (flush_each_line_) out_.flush();
}

void ResultWriter::check_written() {
  if (!out_) result_file_error(path_, "cannot write the result file");
}

void ResultWriter::close() {
  if (!file_.commit()) result_file_error(path_, "cannot write the result file");
}

}  // namespace snp
