#include "analysis/parallel_permutations.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "analysis/csm.h"
#include "analysis/csm_lars.h"
#include "analysis/parallel.h"

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
  // states[k]: the generator before permutation first + k.
  std::vector<Rand1State> states{generator};
  {
    std::ostream nowhere(nullptr);
    OnceNotes shown{true, true};
    Rand1State planning = generator;
    CSM planner(parameters, {nowhere, planning, shown, store_file, 1});
    for (int p = first; p < end; ++p) {
      bool readable = false;
      try {
        readable = planner.skip(input.first_permuted + p, input);
      } catch (...) {
      }
      if (!readable) break;
      states.push_back(planning);
    }
  }
  const int planned = static_cast<int>(states.size()) - 1;
  // A few data sets per thread at a time, so that their text appears as
  // the run goes on.
  const int batch = 4 * threads;
  for (int done = 0; done < planned;) {
    const int count = std::min(batch, planned - done);
    std::vector<std::optional<PermutedFit>> results(static_cast<size_t>(count));
    parallel_for(count, threads, [&](int t) {
      const int k = done + t;
      try {
        results[static_cast<size_t>(t)] = analyse(first + k, states[static_cast<size_t>(k)], k == planned - 1, false);
      } catch (...) {
      }
    });
    for (int t = 0; t < count; ++t, ++done) {
      if (!results[static_cast<size_t>(t)]) {
        // The data set is analysed again on its own, where it fails as it
        // would have; the work files are first those of the one before.
        if (done > 0) analyse(first + done - 1, states[static_cast<size_t>(done - 1)], false, true);
        generator = states[static_cast<size_t>(done)];
        return first + done;
      }
      take(*results[static_cast<size_t>(t)]);
      if (done == planned - 1) {
        const PermutedFit& last = *results[static_cast<size_t>(t)];
        if (last.store) replace_file(store_file, *last.store);
        std::error_code ignored;
        if (last.coefficients)
          replace_file(beta_file, *last.coefficients);
        else
          std::filesystem::remove(beta_file, ignored);
      }
    }
  }
  generator = states[static_cast<size_t>(planned)];
  return first + planned;
}

}  // namespace snp
