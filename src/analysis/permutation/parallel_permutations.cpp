#include "analysis/permutation/parallel_permutations.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "analysis/search/csm.h"
#include "analysis/fit/csm_lars.h"
#include "base/parallel.h"

namespace snp {
namespace {

std::optional<std::string> contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Removes a data set's own work files when it ends.
struct OwnFiles {
  std::string store, beta;
  ~OwnFiles() {
    std::error_code ignored;
    std::filesystem::remove(store, ignored);
    std::filesystem::remove(beta, ignored);
  }
};

}  // namespace

PermutedFit ParallelPermutations::analyse(int p, Rand1State state, bool keep_files, bool in_place) const {
  const std::string own = ".csm-permutation-" + std::to_string(p) + "-";
  const OwnFiles own_files{files.path(own + files.host + "output_X_Y.txt"), files.path(own + files.host + "beta.txt")};
  const std::string& store = in_place ? store_file : own_files.store;
  const std::string& beta = in_place ? beta_file : own_files.beta;
  std::ostringstream console;
  // Every note shown once was shown by the observed data set.
  OnceNotes shown{true, true};
  CSM csm(parameters, {console, state, shown, store, 1});
  csm.set_permutation(true);
  SearchAndFit coupling(csm, console, beta);
  PermutedFit result;
  console << "permutation = " << p << " \n";
  result.fit = coupling.run(input.first_permuted + p, input);
  console << "Cp0=" << observed << " Cp_per=" << result.fit << "\n";
  result.console = console.str();
  if (keep_files) {
    result.store = contents(store);
    result.coefficients = contents(beta);
  }
  return result;
}

int ParallelPermutations::run(int first, int end, Rand1State& generator,
                              const std::function<void(PermutedFit&)>& take) const {
  const auto total = static_cast<int>(std::max(end - first, 0));
  // states[k]: the generator before permutation first + k, fixed for
  // k <= planned by reading and screening the data sets in order.
  std::vector<Rand1State> states(static_cast<size_t>(total) + 1);
  states[0] = generator;
  int planned = 0;
  bool stopped = false;  // at a data set that cannot be read
  std::ostream nowhere(nullptr);
  OnceNotes shown{true, true};
  Rand1State planning = generator;
  CSM planner(parameters, {nowhere, planning, shown, store_file, 1});
  const auto plan = [&](int count) {
    for (int n = 0; n < count && !stopped && planned < total; ++n) {
      bool readable = false;
      try {
        readable = planner.skip(input.first_permuted + first + planned, input);
      } catch (...) {
      }
      if (!readable) {
        stopped = true;
        break;
      }
      states[static_cast<size_t>(++planned)] = planning;
    }
  };
  // A few data sets per thread at a time, so that their text appears as
  // the run goes on; the states of the next few are fixed meanwhile.
  const int batch = 4 * threads;
  plan(batch);
  PermutedFit last;
  for (int done = 0; done < planned;) {
    const int count = std::min(batch, planned - done);
    std::vector<std::optional<PermutedFit>> results(static_cast<size_t>(count));
    parallel_for(count + 1, threads, [&](int t, int) {
      if (t == 0) {
        plan(batch);
        return;
      }
      const int k = done + t - 1;
      try {
        results[static_cast<size_t>(t - 1)] = analyse(first + k, states[static_cast<size_t>(k)], t == count, false);
      } catch (...) {
      }
    });
    for (int t = 0; t < count; ++t, ++done) {
      auto& result = results[static_cast<size_t>(t)];
      if (!result) {
        // The data set is analysed again on its own, where it fails as it
        // would have; the work files are first those of the one before.
        if (done > 0) analyse(first + done - 1, states[static_cast<size_t>(done - 1)], false, true);
        generator = states[static_cast<size_t>(done)];
        return first + done;
      }
      take(*result);
      if (t == count - 1) last = std::move(*result);
    }
  }
  if (planned > 0) {
    // The run's work files are those the last data set left.
    if (last.store) replace_file(store_file, *last.store);
    std::error_code ignored;
    if (last.coefficients)
      replace_file(beta_file, *last.coefficients);
    else
      std::filesystem::remove(beta_file, ignored);
  }
  generator = states[static_cast<size_t>(planned)];
  return first + planned;
}

}  // namespace snp
