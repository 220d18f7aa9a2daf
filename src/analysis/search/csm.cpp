#include "analysis/search/csm.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <fstream>
#include <ostream>

#include "analysis/state/formatting.h"
#include "base/parallel.h"
#include "analysis/search/quickindex.h"
#include "analysis/state/transcript.h"
#include "analysis/state/work_files.h"
#include "base/errors.h"
#include "numeric/gamma.h"

namespace snp {
namespace {

// Progress lines of the screening stages.
constexpr int kSingleProgressStep = 100;
constexpr int kPairProgressStep = 1000;
// p-value given to pairs that are not screened.
constexpr double kUntestedPValue = 100.0;

[[noreturn]] void bad_parameter(const std::string& what) {
  throw InputError(InputProblem::inconsistent, std::string("Error: ") + kParameterFile + ": " + what + "\n");
}

// Steps through the k-subsets (k = 1 or 2) of 1..M in rank order.
template <class Visit>
void for_each_set(int M, int k, Visit visit) {
  int rank = 0;
  if (k == 1) {
    for (int a = 1; a <= M; ++a) visit(++rank, std::vector<int>{a});
    return;
  }
  for (int a = 1; a <= M; ++a)
    for (int b = a + 1; b <= M; ++b) visit(++rank, std::vector<int>{a, b});
}

}  // namespace

CSM::CSM(CsmParameters parameters, SearchIo io) : p_(std::move(parameters)), io_(std::move(io)) {
  p_.adjust();
  allocate();
  show_method_once();
}

void CSM::show_method_once() const {
  if (io_.shown.test_method_shown) return;
  io_.shown.test_method_shown = true;
  write_unrecorded(io_.out, std::string("test_method=") + p_.method_name() + "\n");
}

void CSM::allocate() {
  const int N = p_.sample_size;
  const int M = p_.number_of_markers;
  if (N < 1) bad_parameter("Sample_size must be at least 1, found " + std::to_string(N));
  if (M < 1) bad_parameter("Number_of_markers must be at least 1, found " + std::to_string(M));
  binomial_ = BinomialTable(M, p_.max_set_size);
  if (binomial_(M, p_.max_set_size) > INT_MAX)
    bad_parameter("Number_of_markers " + std::to_string(M) + " gives too many marker pairs to rank");
  case_count_ = N / 2;
  missing_.assign(static_cast<size_t>(N) + 1, BitSet(static_cast<unsigned>(M) + 1));
  phenotype_ = dvector(1, N);
  genotype_ = imatrix(1, N, 1, M);
}

std::optional<BestClusterInformationArray> CSM::run(int r, const AnalysisInput& input) {
  std::ostream& out = io_.out;
  // A huge Max_retain keeps every set rather than overflowing the product.
  BestClusterInformationArray array(
      static_cast<int>(std::clamp(static_cast<long>(p_.max_retain) * p_.max_set_size, 0L, long{INT_MAX})));
  if (input.genotypes.empty()) {
    out << "Don't read data from XX\n";
    return std::nullopt;
  }
  if (prepare_data_set(r, input) != 0) return std::nullopt;
  out << (permutation_ ? "permutation\n" : "bakeup\n");
  screen_and_score(array);
  out << "first step finish at calculating 1-item\n";
  write_store_file(array);
  return array;
}

bool CSM::skip(int r, const AnalysisInput& input) {
  if (input.genotypes.empty() || prepare_data_set(r, input) != 0) return false;
  BestClusterInformationArray none(0);
  plan_only_ = true;
  try {
    screen_and_score(none);
  } catch (...) {
    plan_only_ = false;
    throw;
  }
  plan_only_ = false;
  return true;
}

bool CSM::excluded(int i, const std::vector<int>& markers) const {
  for (const int m : markers)
    if (missing_[static_cast<size_t>(i)].test(static_cast<unsigned>(m))) return true;
  return false;
}

double CSM::screening_p_value(int k, int rank) const {
  const int N = p_.sample_size;
  const auto markers = unrank_marker_set(binomial_, p_.number_of_markers, k, rank);
  const size_t codes = genotype_space(static_cast<unsigned>(k));
  std::vector<int> n(codes, 0);
  std::vector<double> S(codes, 0.0);
  for (int i = 1; i <= N; ++i) {
    if (excluded(i, markers)) continue;
    const auto v = static_cast<size_t>(genotype_code(genotype_[i], markers));
    ++n[v];
    S[v] += phenotype_[i];
  }
  double total = 0.0;
  for (const double s : S) total += s;
  double B = 0.0;
  int T = 0;
  for (size_t v = 0; v < codes; ++v) {
    if (n[v] == 0) continue;
    const double deviation = S[v] / n[v] - total / N;
    B += n[v] * deviation * deviation;
    ++T;
  }
  if (T < 2) return 0.5;
  // B / V against chi-square with T - 1 degrees of freedom; a constant
  // phenotype separates nothing.
  const double statistic = variance_ > 0.0 ? B / variance_ : 0.0;
  return chisq_upper_tail(T - 1, statistic, io_.out);
}

void CSM::screen_and_score(BestClusterInformationArray& array) {
  std::ostream& out = io_.out;
  const int M = p_.number_of_markers;
  std::vector<bool> kept(static_cast<size_t>(M) + 1, false);
  int scored = 0;
  for (int k = 1; k <= p_.max_set_size; ++k) {
    const auto sets = static_cast<int>(binomial_(M, k));
    DoubleVector p = dvector(1, sets);
    int tested = 0;
    const int progress_step = k == 1 ? kSingleProgressStep : kPairProgressStep;
    for_each_set(M, k, [&](int rank, const std::vector<int>& markers) {
      const bool screen = k == 1 || std::all_of(markers.begin(), markers.end(), [&](int m) {
                            return kept[static_cast<size_t>(m)];
                          });
      if (screen) {
        p[rank] = screening_p_value(k, rank);
        ++tested;
      } else {
        p[rank] = kUntestedPValue;
      }
      if (rank % progress_step == 0) out << "j=" << rank << "\n";
    });
    IntVector index = ivector(1, sets);
    Quickindex(p, index, sets);
    if (k == 1)
      for (int i = 1; i <= std::min(p_.best_m, sets); ++i) kept[static_cast<size_t>(index[i])] = true;

    int selected = 0;
    const int m = k == 1 ? sets : tested;
    double harmonic = 0.0;
    for (int i = 1; i <= m; ++i) {
      const double pi = p[index[i]];
      if (k == 1) {
        if (pi / i < p_.fdr_cutoff / m && pi <= p_.significance_level) selected = i;
      } else {
        harmonic += 1.0 / i;
        if (harmonic * pi / i < p_.fdr_cutoff / m && pi < p_.significance_level) selected = i;
      }
    }
    const int retained = std::min(selected, p_.max_retain);
    out << " information using to report to tamsel max_i[" << k << "]=" << retained << "\n";
    scored += score_sets(k, index, retained, array);
  }
  out << "To tamsel report len=" << scored << "\n";
  out << " information using to report to tamsel # of dropped sets  1-item=" << 0 << ", 2-item=" << 0 << "\n";
  if (scored == 0) out << "CSM get len=0\n";
}

int CSM::score_sets(int k, const IntVector& index, int count, BestClusterInformationArray& array) {
  // Every set that draws takes the same number of draws, so the generator
  // state of each is known before any is scored: the sets are scored in
  // parallel and kept in order, as if one after the other.
  const auto sets = static_cast<size_t>(std::max(count, 0));
  std::vector<Rand1State> start(sets);
  std::vector<bool> draws(sets, false);
  std::vector<std::exception_ptr> errors(sets);
  int planned = 0;
  for (size_t s = 0; s < sets; ++s, ++planned) {
    start[s] = io_.generator;
    try {
      draws[s] = set_draws(k, index[static_cast<int>(s) + 1]);
    } catch (...) {
      errors[s] = std::current_exception();
      break;
    }
    if (draws[s]) io_.generator = rand1_jumped(io_.generator, draws_per_scored_set());
  }
  if (plan_only_) {
    const auto stop = static_cast<size_t>(planned);
    if (planned < count && errors[stop]) std::rethrow_exception(errors[stop]);
    return 0;
  }
  std::vector<SetScore> results(sets);
  parallel_for(planned, io_.threads, [&](int t, int) {
    const auto s = static_cast<size_t>(t);
    if (!draws[s]) return;
    try {
      results[s] = score_set_from(k, index[t + 1], start[s]);
    } catch (...) {
      errors[s] = std::current_exception();
    }
  });
  int scored = 0;
  for (size_t s = 0; s < sets; ++s) {
    if (errors[s]) std::rethrow_exception(errors[s]);
    if (!results[s].score) continue;
    keep_set_score(std::move(results[s]), array);
    ++scored;
  }
  return scored;
}

void CSM::write_store_file(const BestClusterInformationArray& array) const {
  const std::string& path = store_file();
  const int N = p_.sample_size;
  struct Column {
    int entry;
    unsigned group;
  };
  std::vector<Column> design;
  std::vector<std::vector<int>> markers_of(static_cast<size_t>(array.count()));
  for (int e = 0; e < array.count(); ++e) {
    const auto& record = array[e];
    markers_of[static_cast<size_t>(e)] =
        unrank_marker_set(binomial_, p_.number_of_markers, static_cast<int>(record.nmarker), record.setrank);
    for (int g = 0; g <= static_cast<int>(record.Nozerogroupnum) - 2; ++g) {
      const double f = record.GroupFrequency[static_cast<size_t>(g)];
      if (f > 0.0 && f < 1.0) design.push_back({e, static_cast<unsigned>(g)});
    }
  }
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw FatalError("Don't open file " + path + "!\n", Channel::standard_output);
    for (int i = 1; i <= N; ++i) {
      out << fixed6(phenotype_[i]) << ' ';
      for (const Column& column : design) {
        const auto code = genotype_code(genotype_[i], markers_of[static_cast<size_t>(column.entry)]);
        out << (array[column.entry].in_group(column.group, static_cast<unsigned>(code)) ? 1 : 0) << ' ';
      }
      out << "\n";
    }
    const long items = static_cast<long>(design.size()) * N;
    out << "para  " << N << ' ' << items / N << "\n";
    out.close();
    if (!out) throw FatalError("Don't open file " + path + "!\n", Channel::standard_output);
  }
  for (int n = 0; n < array.count(); ++n)
    if (array[n].Store(path, n) == 0) throw FatalError("Don't open file " + path + "!\n", Channel::standard_output);
}

}  // namespace snp
