#include "analysis/run/permutation_jobs.h"

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "analysis/permutation/permutation_parts.h"
#include "analysis/state/work_files.h"

namespace snp {

bool set_up_permutation_jobs(const ParsedOptions& options, const AnalysisInput& input, AnalysisContext& ctx) {
  const auto range = options.value("--data-sets");
  const auto merge = options.value("--merge");
  if (!range && !merge) return false;
  if (range && merge) throw_usage_error(options.program(), "--data-sets and --merge exclude each other");
  const std::string parameters_path = ctx.work_file(kParameterFile);
  std::string parameters;
  if (std::ifstream in{parameters_path, std::ios::binary}) parameters.assign(std::istreambuf_iterator<char>(in), {});
  ctx.jobs.fingerprint = input_fingerprint(input, parameters);
  if (range) {
    ctx.jobs.range = parse_permutation_range(*range);
    if (!ctx.jobs.range)
      throw_usage_error(options.program(), "--data-sets needs A:B with whole numbers 1 <= A <= B, found \"" + *range + "\"");
    return true;
  }
  std::vector<std::string> paths;
  for (size_t start = 0;;) {
    const size_t comma = merge->find(',', start);
    paths.push_back(merge->substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  for (const auto& path : paths) {
    if (path.empty()) throw_usage_error(options.program(), "--merge needs part files separated by commas");
    ctx.jobs.parts.push_back(read_part(path));
  }
  check_parts(ctx.jobs.parts, paths, ctx.jobs.fingerprint);
  return false;
}

}  // namespace snp
