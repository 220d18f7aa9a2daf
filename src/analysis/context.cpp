#include "analysis/context.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "base/errors.h"

namespace snp {

std::string AnalysisContext::work_file(const std::string& name) const {
  if (work_directory.empty() || work_directory.back() == '/') return work_directory + name;
  return work_directory + "/" + name;
}

void gethostname(AnalysisContext& ctx) {
  long limit = ::sysconf(_SC_HOST_NAME_MAX);
  if (limit <= 0) limit = HOST_NAME_MAX;
  std::string name(static_cast<size_t>(limit) + 1, '\0');
  if (::gethostname(name.data(), name.size()) != 0)
    throw FatalError(std::string("Error: cannot learn the host name: ") + std::strerror(errno) + "\n",
                     Channel::standard_error);
  name.resize(std::strlen(name.c_str()));
  const size_t word_end = name.find_first_of(" \t\r\n");
  if (word_end != std::string::npos) name.resize(word_end);
  ctx.hostname = name;
}

}  // namespace snp
