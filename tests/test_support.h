// Helpers shared by the tests: scratch directories, files and child runs.
#pragma once

#include <string>
#include <vector>

namespace snp::test {

// A fresh directory removed at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& content) const;
  std::string read(const std::string& name) const;

 private:
  std::string path_;
};

std::string read_text(const std::string& path);

struct ProgramRun {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// Runs a program with standard input closed, in directory `cwd`, killed after
// `timeout_seconds`.
ProgramRun run_program(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                       int timeout_seconds = 120);

// A small consistent data set: reference panel, study map and genotypes.
struct TinyStudy {
  std::vector<std::string> haplotypes;   // one string of 0/1/? per haplotype
  std::vector<std::string> ref_names;
  std::vector<std::string> ref_letters;  // two letters per reference marker
  std::vector<std::string> study_names;
  std::vector<std::string> study_letters;  // field 4 then field 5
  std::vector<std::string> cases;          // per sample: letters "AGCT" (two per marker)
  std::vector<std::string> controls;

  // Writes the five data files and a parameter file into dir.
  void write(const TempDir& dir, const std::string& extra_params = "") const;
  std::string parameter_text(const std::string& dir) const;
};

}  // namespace snp::test
