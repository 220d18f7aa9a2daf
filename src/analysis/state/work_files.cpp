#include "analysis/state/work_files.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "base/errors.h"
#include "base/output_file.h"

namespace snp {

std::string WorkFiles::path(const std::string& name) const {
  if (directory.empty() || directory.back() == '/') return directory + name;
  return directory + "/" + name;
}

std::string host_name() {
  long limit = ::sysconf(_SC_HOST_NAME_MAX);
  if (limit <= 0) limit = HOST_NAME_MAX;
  std::string name(static_cast<size_t>(limit) + 1, '\0');
  if (::gethostname(name.data(), name.size()) != 0)
    throw FatalError(std::string("Error: cannot learn the host name: ") + std::strerror(errno) + "\n",
                     Channel::standard_error);
  name.resize(std::strlen(name.c_str()));
  const size_t word_end = name.find_first_of(" \t\r\n");
  if (word_end != std::string::npos) name.resize(word_end);
  return name;
}

std::string copied_text(const std::string& source) {
  std::ifstream in(source, std::ios::binary);
  if (!in) throw InputError(InputProblem::cannot_open, "Don't find file " + source + "\n", Channel::standard_output);
  std::string text;
  char c = 0;
  if (in >> c) {
    do {
      if (static_cast<unsigned char>(c) == 0xFF) break;
      text.push_back(c);
    } while (in.get(c));
  }
  return text;
}

void replace_file(const std::string& path, const std::string& text, const std::string& open_failure) {
  const std::string temporary = temporary_name(path);
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  if (!out) throw FatalError("Error: cannot " + open_failure + " " + path + "\n", Channel::standard_error);
  out << text;
  out.close();
  if (!out) {
    std::remove(temporary.c_str());
    throw FatalError("Error: cannot write " + path + "\n", Channel::standard_error);
  }
  try {
    rename_into_place(temporary, path);
  } catch (...) {
    std::remove(temporary.c_str());
    throw;
  }
}

void filecopy(const std::string& source, const std::string& target) {
  replace_file(target, copied_text(source), "create");
}

void keep_numbered_reports(const WorkFiles& files, int number) {
  const std::string suffix = std::to_string(number) + ".txt";
  filecopy(files.path("Final_result.txt"), files.path("Final_result" + suffix));
  filecopy(files.path("P_value.txt"), files.path("P_value" + suffix));
}

}  // namespace snp
