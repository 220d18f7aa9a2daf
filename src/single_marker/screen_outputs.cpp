#include "single_marker/screen_outputs.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/errors.h"
#include "single_marker/five_model_screen.h"

namespace snp::screen {
namespace {

std::string busy_message(const std::string& directory) {
  return "Error: another snp-screen run is writing " + std::string(kResultFileName) + " in " +
         (directory.empty() ? std::string("this directory") : directory) + " (it holds the lock on " + directory +
         kScreenLockFile + "); wait for it to end or run in another directory\n";
}

void refuse_same_files(const std::vector<NamedInput>& outputs, const std::vector<NamedInput>& inputs) {
  for (size_t k = 0; k < outputs.size(); ++k) {
    std::vector<NamedInput> others(inputs);
    others.insert(others.end(), outputs.begin(), outputs.begin() + static_cast<std::ptrdiff_t>(k));
    for (const auto& [path, role] : others)
      if (!path.empty() && same_file(outputs[k].first, path))
        throw InputError(InputProblem::inconsistent, "Error: the output " + outputs[k].first +
                                                         " is the same file as the " + role + " " + path + "\n");
  }
}

}  // namespace

ScreenOutputs::ScreenOutputs(const std::string& directory, const std::string& table_path,
                             const std::vector<NamedInput>& inputs)
    : lock_(directory + kScreenLockFile, busy_message(directory)), fdr_path_(directory + kResultFileName) {
  std::vector<NamedInput> outputs = {{fdr_path_, "result file"}};
  if (!table_path.empty()) outputs.emplace_back(table_path, "screen table");
  refuse_same_files(outputs, inputs);
  if (!std::filesystem::is_directory(fdr_path_)) fdr_.emplace(fdr_path_);
  if (table_path.empty()) return;
  table_.emplace(table_path);
  if (!table_->created())
    throw FatalError("Error: cannot create " + table_path + " (" + std::strerror(errno) + ")\n",
                     Channel::standard_error);
}

std::ostream* ScreenOutputs::fdr() { return fdr_ && fdr_->created() ? &fdr_->stream() : nullptr; }

void ScreenOutputs::commit() {
  // Both complete before either is renamed.
  for (auto* file : {&fdr_, &table_})
    if (*file && !(*file)->finish())
      throw FatalError("Error: cannot write " + (*file)->path() + " (" + std::strerror(errno) + ")\n",
                       Channel::standard_error);
  for (auto* file : {&fdr_, &table_})
    if (*file && !(*file)->commit())
      throw FatalError("Error: cannot write " + (*file)->path() + " (" + std::strerror(errno) + ")\n",
                       Channel::standard_error);
}

}  // namespace snp::screen
