// The result file: one line per imputed reference marker, "index<TAB>name
// position letter letter " followed by each individual's code and a blank.
#pragma once

#include <string>
#include <vector>

#include "base/output_file.h"
#include "impute/engine.h"
#include "input/reference_panel.h"

namespace snp {

// Pieces of a result line: "index<TAB>name position letter letter " and a
// code followed by a blank.
void append_line_header(std::string& line, const ReferencePanel& panel, int t);
void append_code(std::string& line, int code);

// The file is written under a temporary name and takes its own name at
// close(); a run that fails before leaves the previous file.
class ResultWriter {
 public:
  // Creates the file (throws FatalError when it cannot); with
  // flush_each_line every line reaches the file before the next marker.
  ResultWriter(const std::string& path, const ReferencePanel& panel, bool flush_each_line);
  void write(int t, const std::vector<GenotypeCall>& calls);
  // Throws FatalError when a line could not be written.
  void check_written();
  // Throws FatalError when the file could not be written completely.
  void close();

 private:
  std::string path_;
  const ReferencePanel& panel_;
  bool flush_each_line_;
  ReplacingFile file_;
  std::ostream& out_;
  std::string line_;
};

}  // namespace snp
