#include "test_support.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace snp::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "snp-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary directory");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void TempDir::write(const std::string& name, const std::string& content) const {
  std::ofstream out(file(name), std::ios::binary);
  out << content;
}

std::string TempDir::read(const std::string& name) const { return read_text(file(name)); }

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

namespace {

std::string quoted(const std::string& word) {
  std::string out = "'";
  for (char c : word) c == '\'' ? out.append("'\\''") : out.append(1, c);
  return out.append("'");
}

}  // namespace

ProgramRun run_program(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                       int timeout_seconds) {
  TempDir capture;
  std::string command = "cd ";
  command.append(quoted(cwd)).append(" && exec timeout -s KILL ").append(std::to_string(timeout_seconds));
  command.append(" ").append(quoted(program));
  for (const std::string& arg : args) command.append(" ").append(quoted(arg));
  command.append(" </dev/null >").append(quoted(capture.file("out"))).append(" 2>").append(quoted(capture.file("err")));
  const int raw = std::system(command.c_str());
  ProgramRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  run.out = read_text(capture.file("out"));
  run.err = read_text(capture.file("err"));
  return run;
}

std::string TinyStudy::parameter_text(const std::string& dir) const {
  std::ostringstream p;
  p << "current_chr 7\npopulation_marker " << ref_names.size() << "\npopulation_sample " << haplotypes.size()
    << "\ntyped_marker " << study_names.size() << "\nncase " << cases.size() << "\nncontrol " << controls.size()
    << "\nthreshold 0.33\nref_dir " << dir << "\nstudy_dir " << dir
    << "\nhap hapmap.hap\nmap hapmap.map\ncase_geno disease.geno\ncase_map disease.map\n"
    << "control_geno normal.geno\nstudy_map normal.map\nresult " << dir << "/imputation_results.txt\n";
  return p.str();
}

void TinyStudy::write(const TempDir& dir, const std::string& extra_params) const {
  std::ostringstream hap, map, study_map, case_geno, control_geno;
  for (const auto& h : haplotypes) {
    for (size_t m = 0; m < h.size(); ++m) hap << (m ? " " : "") << h[m];
    hap << "\n";
  }
  map << "rsID position allele0 allele1\n";
  for (size_t j = 0; j < ref_names.size(); ++j)
    map << ref_names[j] << " " << 1000 * (j + 1) << " " << ref_letters[j][0] << " " << ref_letters[j][1] << "\n";
  for (size_t k = 0; k < study_names.size(); ++k)
    study_map << "7 " << k << " " << study_names[k] << " " << study_letters[k][0] << " " << study_letters[k][1]
              << " 0 0 0\n";
  auto genotypes = [](const std::vector<std::string>& samples, const char* prefix, std::ostringstream& out) {
    for (size_t s = 0; s < samples.size(); ++s) {
      out << prefix << s << " 1 ";
      for (char c : samples[s]) out << c << " ";
      out << "\n";
    }
  };
  genotypes(cases, "CASE", case_geno);
  genotypes(controls, "CTRL", control_geno);
  dir.write("hapmap.hap", hap.str());
  dir.write("hapmap.map", map.str());
  dir.write("normal.map", study_map.str());
  dir.write("disease.map", study_map.str());
  dir.write("disease.geno", case_geno.str());
  dir.write("normal.geno", control_geno.str());
  dir.write("parameter.txt", parameter_text(dir.path()) + extra_params);
}

}  // namespace snp::test
