#include "analysis/search/clustering.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <sstream>

#include "analysis/search/csm.h"
#include "analysis/search/permutation_draw.h"
#include "analysis/search/quickindex.h"
#include "analysis/state/transcript.h"
#include "base/errors.h"
#include "numeric/gamma.h"

namespace snp {
namespace {

constexpr int kMostGroups = 10;
constexpr int kMostKmeansRounds = 99;

double share(int count, int total) { return total > 0 ? static_cast<double>(count) / total : 0.0; }

// Two-proportion statistic of shares u (cases) and v (controls) with group
// sizes n_case and n_control; 0 when the shares agree.
double proportion_statistic(double u, double v, double n_case, double n_control) {
  if (u == v) return 0.0;
  return (u - v) * (u - v) * (1.0 / (v / n_case + u / n_control) + 1.0 / ((1.0 - u) / n_control + (1.0 - v) / n_case));
}

// Upper-tail p-value of a statistic with df degrees of freedom; 0.5 when the
// statistic is not positive.
double tail_or_half(int df, double statistic, std::ostream& console) {
  return statistic <= 0.0 ? 0.5 : chisq_upper_tail(df, statistic, console);
}

}  // namespace

SingleMarkerChoice choose_single_marker_model(const std::vector<int>& cases, const std::vector<int>& controls,
                                              int Ncase, int N, int G, std::ostream& console) {
  if (G < 2 || G > 3) throw FatalError("find error (nclass>3) when run OneMarkerCluster \n", Channel::standard_output);
  SingleMarkerChoice choice;
  choice.label = {0, 1, 1, 2};
  const int Nctrl = N - Ncase;
  if (Ncase <= 0 || Nctrl <= 0) {  // nothing to compare: class 3 against the rest
    choice.p_value = {0.5, 0.5, 0.5, 0.5};
    return choice;
  }
  std::array<double, 4> p1{}, p2{};
  for (size_t c = 1; c <= 3; ++c) {
    p1[c] = share(cases[c], Ncase);
    p2[c] = share(controls[c], Nctrl);
  }
  auto& X = choice.statistic;
  auto& p = choice.p_value;
  X[0] = p1[3] + p2[3] == 0.0 ? 0.5 : proportion_statistic(p1[3], p2[3], Ncase, Nctrl);
  const double u = share(cases[2] + 2 * cases[1], 2 * Ncase);
  const double v = share(controls[2] + 2 * controls[1], 2 * Nctrl);
  X[1] = u + v <= 0.0 ? 0.5 : proportion_statistic(u, v, 2.0 * Ncase, 2.0 * Nctrl);
  X[2] = p1[1] + p2[1] <= 0.0 ? 0.5 : proportion_statistic(p1[1], p2[1], Ncase, Nctrl);
  X[3] = 0.0;
  for (size_t c = 1; c <= 3; ++c)
    if (p1[c] + p2[c] > 0.0) X[3] += (p1[c] - p2[c]) * (p1[c] - p2[c]) / (p1[c] / Nctrl + p2[c] / Ncase);
  for (size_t m = 0; m < 3; ++m) p[m] = tail_or_half(1, X[m], console);
  p[3] = X[3] <= 0.0 ? p[2] : chisq_upper_tail(2, X[3], console);

  size_t best = 0;
  for (size_t m = 1; m < 4; ++m)
    if (p[m] < p[best]) best = m;
  choice.model = static_cast<SingleMarkerModel>(best);
  switch (choice.model) {
    case SingleMarkerModel::class3_against_rest:
      choice.label = {0, 1, 1, 2};
      break;
    case SingleMarkerModel::class1_against_rest:
      choice.label = {0, 1, 2, 2};
      break;
    case SingleMarkerModel::allele_shares:
    case SingleMarkerModel::three_classes:
      if (G == 3)
        choice.label = {0, 1, 2, 3};
      else
        choice.label = X[2] < X[0] ? std::array<int, 4>{0, 1, 1, 2} : std::array<int, 4>{0, 1, 2, 2};
      break;
  }
  return choice;
}

namespace {

// kmeans_labels on caller's storage: mean and label per class, centre,
// group_sum and group_count per group, and nearest per class (entry 0
// unused in each). Leaves the labels in `label`.
void kmeans_into(const std::vector<double>& sums, const std::vector<int>& counts, size_t classes, int G, double* mean,
                 double* centre, int* label, int* nearest, double* group_sum, int* group_count) {
  for (size_t c = 1; c <= classes; ++c) mean[c] = counts[c] > 0 ? sums[c] / counts[c] : 0.0;
  const auto [lo, hi] = std::minmax_element(mean + 1, mean + classes + 1);
  const double low = *lo, high = *hi;
  for (int g = 1; g <= G; ++g) centre[g] = high - (g - 0.5) * (high - low) / G;
  for (size_t c = 1; c <= classes; ++c) label[c] = static_cast<int>(c);

  for (int round = 0; round < kMostKmeansRounds; ++round) {
    bool changed = false;
    for (size_t c = 1; c <= classes; ++c) {
      int best = 1;
      double best_distance = std::fabs(mean[c] - centre[1]);
      for (int g = 2; g <= G; ++g) {
        const double distance = std::fabs(mean[c] - centre[g]);
        if (distance < best_distance) {
          best = g;
          best_distance = distance;
        }
      }
      nearest[c] = best;
      if (best != label[c]) changed = true;
    }
    if (!changed) break;
    std::copy(nearest + 1, nearest + classes + 1, label + 1);
    std::fill(group_sum, group_sum + G + 1, 0.0);
    std::fill(group_count, group_count + G + 1, 0);
    for (size_t c = 1; c <= classes; ++c) {
      group_sum[label[c]] += sums[c];
      group_count[label[c]] += counts[c];
    }
    for (int g = 1; g <= G; ++g) centre[g] = group_count[g] > 0 ? group_sum[g] / group_count[g] : 0.0;
  }
}

}  // namespace

std::vector<int> kmeans_labels(const std::vector<double>& sums, const std::vector<int>& counts, int T, int G) {
  const auto classes = static_cast<size_t>(T);
  const auto groups = static_cast<size_t>(G);
  std::vector<int> label(classes + 1, 0);
  // The sets of the search have at most 9 classes and 10 groups: their
  // working storage stays on the stack.
  constexpr size_t kSmall = 16;
  if (classes < kSmall && groups < kSmall) {
    double mean[kSmall] = {}, centre[kSmall] = {}, group_sum[kSmall] = {};
    int nearest[kSmall] = {}, group_count[kSmall] = {};
    kmeans_into(sums, counts, classes, G, mean, centre, label.data(), nearest, group_sum, group_count);
    return label;
  }
  std::vector<double> mean(classes + 1, 0.0), centre(groups + 1, 0.0), group_sum(groups + 1, 0.0);
  std::vector<int> nearest(classes + 1, 0), group_count(groups + 1, 0);
  kmeans_into(sums, counts, classes, G, mean.data(), centre.data(), label.data(), nearest.data(), group_sum.data(),
              group_count.data());
  return label;
}

std::vector<int> CSM::classes_of_set(const std::vector<int>& markers, std::vector<int>& code_of_class) const {
  const int N = p_.sample_size;
  const int space = static_cast<int>(genotype_space(static_cast<unsigned>(markers.size())));
  std::vector<int> class_of(static_cast<size_t>(N) + 1, 0);
  std::vector<int> class_of_code(static_cast<size_t>(space), 0);
  code_of_class.assign(1, 0);
  for (int i = 1; i <= N; ++i) {
    const int code = genotype_code(genotype_[i], markers);
    if (code < 0 || code >= space)
      throw FatalError("There are some wrong GenotypeCode=" + std::to_string(code) +
                           " space_size=" + std::to_string(space) + "\n",
                       Channel::standard_output);
    int& c = class_of_code[static_cast<size_t>(code)];
    if (c == 0) {
      c = static_cast<int>(code_of_class.size());
      code_of_class.push_back(code);
    }
    class_of[static_cast<size_t>(i)] = c;
  }
  return class_of;
}

bool CSM::set_draws(int k, int rank) const {
  std::vector<int> code_of_class;
  classes_of_set(unrank_marker_set(binomial_, p_.number_of_markers, k, rank), code_of_class);
  return code_of_class.size() >= 3;
}

std::optional<double> CSM::score_set(int k, int rank, BestClusterInformationArray& array) {
  const Rand1State start = io_.generator;
  SetScore result = score_set_from(k, rank, start);
  if (!result.score) return std::nullopt;
  io_.generator = rand1_jumped(start, draws_per_scored_set());
  const auto score = result.score;
  keep_set_score(std::move(result), array);
  return score;
}

void CSM::keep_set_score(SetScore result, BestClusterInformationArray& array) {
  if (!io_.shown.cluster_method_shown) {
    io_.shown.cluster_method_shown = true;
    write_unrecorded(io_.out, "clustermethod=0\n");
  }
  io_.out << result.console;
  if (!array.append(std::move(*result.record))) io_.out << "There are some error for BestClusterInformationArray size\n";
}

std::uint64_t CSM::draws_per_scored_set() const {
  return static_cast<std::uint64_t>(kPermutedRuns) * static_cast<std::uint64_t>(p_.sample_size);
}

CSM::SetScore CSM::score_set_from(int k, int rank, Rand1State generator) const {
  const int N = p_.sample_size;
  const int M = p_.number_of_markers;
  const auto markers = unrank_marker_set(binomial_, M, k, rank);
  SetScore result;
  std::ostringstream console;

  // Classes 1..T numbered by first appearance of their genotype code.
  std::vector<int> code_of_class;
  const std::vector<int> class_of = classes_of_set(markers, code_of_class);
  const int T = static_cast<int>(code_of_class.size()) - 1;
  if (T < 2) return result;
  const int Gmax = std::min(T, kMostGroups);
  const size_t class_slots = static_cast<size_t>(std::max(T, 3)) + 1;

  // The individuals counted (none missing at a marker of the set), in
  // order, with their classes; the class sizes do not change under
  // permutation.
  std::vector<int> counted_individuals, counted_class;
  std::vector<int> n(class_slots, 0);
  for (int i = 1; i <= N; ++i) {
    if (excluded(i, markers)) continue;
    counted_individuals.push_back(i);
    counted_class.push_back(class_of[static_cast<size_t>(i)]);
    ++n[static_cast<size_t>(class_of[static_cast<size_t>(i)])];
  }
  const int counted = static_cast<int>(counted_individuals.size());

  std::vector<double> saved(static_cast<size_t>(N) + 1, 0.0);
  for (int i = 1; i <= N; ++i) saved[static_cast<size_t>(i)] = phenotype_[i];
  std::vector<std::vector<double>> score(kPermutedRuns + 1, std::vector<double>(static_cast<size_t>(Gmax) + 1, 0.0));
  std::vector<BestClusterInformation> records;
  const int Ncase = case_count_;
  const int Nctrl = N - Ncase;

  std::vector<int> cases(class_slots, 0), controls(class_slots, 0);
  std::vector<double> sums(class_slots, 0.0);
  const auto group_slots = static_cast<size_t>(Gmax) + 1;
  std::vector<int> label, n_g(group_slots), cases_g(group_slots), controls_g(group_slots);
  // Cases per class and the sums of centred phenotypes per class of up to
  // kBatch phenotype vectors y[q * N + i] (i from 1) at once: each sum
  // adds in the order of the individuals, the vectors side by side.
  constexpr int kBatch = PermutationDraw::kBatch;
  std::vector<int> batch_cases(kBatch * class_slots);
  std::vector<double> batch_sums(kBatch * class_slots);
  const auto count_classes = [&](int count, const double* y) {
    const auto vectors = static_cast<size_t>(count);
    const auto stride = static_cast<size_t>(N);
    std::fill(batch_cases.begin(), batch_cases.end(), 0);
    std::fill(batch_sums.begin(), batch_sums.end(), 0.0);
    double total[kBatch] = {};
    for (size_t e = 0; e < counted_individuals.size(); ++e) {
      const auto i = static_cast<size_t>(counted_individuals[e]);
      const auto c = static_cast<size_t>(counted_class[e]);
      for (size_t q = 0; q < vectors; ++q) {
        const double value = y[q * stride + i];
        batch_cases[q * class_slots + c] += value > 0 ? 1 : 0;
        total[q] += value;
      }
    }
    if (k < 2) return;
    double ybar[kBatch] = {};
    for (size_t q = 0; q < vectors; ++q) ybar[q] = counted > 0 ? total[q] / counted : 0.0;
    for (size_t e = 0; e < counted_individuals.size(); ++e) {
      const auto i = static_cast<size_t>(counted_individuals[e]);
      const auto c = static_cast<size_t>(counted_class[e]);
      for (size_t q = 0; q < vectors; ++q) batch_sums[q * class_slots + c] += y[q * stride + i] - ybar[q];
    }
  };
  // The scores of vector q of the last count_classes as run b.
  const auto evaluate = [&](int b, size_t q) {
    for (size_t c = 0; c < class_slots; ++c) {
      cases[c] = batch_cases[q * class_slots + c];
      controls[c] = n[c] - cases[c];
      sums[c] = batch_sums[q * class_slots + c];
    }

    for (int G = 2; G <= Gmax; ++G) {
      if (k == 1) {
        const auto choice = choose_single_marker_model(cases, controls, Ncase, N, G, console);
        label.assign(choice.label.begin(), choice.label.end());
      } else {
        label = kmeans_labels(sums, n, T, G);
      }

      const auto groups = static_cast<size_t>(G);
      std::fill(n_g.begin(), n_g.end(), 0);
      std::fill(cases_g.begin(), cases_g.end(), 0);
      std::fill(controls_g.begin(), controls_g.end(), 0);
      for (size_t c = 1; c <= static_cast<size_t>(T); ++c) {
        const auto g = static_cast<size_t>(label[c]);
        n_g[g] += n[c];
        cases_g[g] += cases[c];
        controls_g[g] += controls[c];
      }

      if (b == 0) {
        BestClusterInformation record(static_cast<unsigned>(k), static_cast<unsigned>(G), M);
        for (size_t c = 1; c <= static_cast<size_t>(T); ++c) {
          record.Tindex[static_cast<size_t>(label[c] - 1)].set(static_cast<unsigned>(c));
          record.GenotypeCode[c] = static_cast<unsigned>(code_of_class[c]);
        }
        double running = 0.0;
        unsigned filled = 0;
        for (size_t g = 1; g <= groups && running <= 1.0; ++g) {
          if (n_g[g] == 0) continue;
          const double frequency = static_cast<double>(n_g[g]) / N;
          record.GroupFrequency[g - 1] = frequency;
          record.GroupAverage[g - 1] = static_cast<double>(cases_g[g]) / n_g[g];
          running += frequency;
          ++filled;
        }
        record.Nozerogroupnum = std::min(static_cast<unsigned>(G), filled);
        records.push_back(std::move(record));
      }

      double X = 0.0;
      if (!quantitative_) {
        if (Ncase > 0 && Nctrl > 0) {
          for (size_t g = 1; g <= groups; ++g) {
            const double a = static_cast<double>(cases_g[g]) / Ncase;
            const double c = static_cast<double>(controls_g[g]) / Nctrl;
            if (a + c > 0.0) X += (a - c) * (a - c) / (a / Nctrl + c / Ncase);
          }
        }
      } else if (variance_ > 0.0) {
        int P = 0;
        for (size_t g = 1; g <= groups; ++g) P += cases_g[g];
        for (size_t g = 1; g <= groups; ++g) {
          if (n_g[g] == 0) continue;
          const double deviation = static_cast<double>(cases_g[g]) / n_g[g] - static_cast<double>(P) / N;
          X += n_g[g] * deviation * deviation / variance_;
        }
      }
      score[static_cast<size_t>(b)][static_cast<size_t>(G)] = X;
    }
  };

  // Observed data first, then the permutations, a batch at a time: the
  // draws of a batch come from the generator in order, permutation b
  // taking the N draws after those of permutation b - 1.
  count_classes(1, saved.data());
  evaluate(0, 0);
  PermutationDraw draw(saved.data(), N);
  std::vector<double> u(static_cast<size_t>(kBatch) * static_cast<size_t>(N));
  std::vector<double> permuted(u.size() + 1);
  for (int b = 1; b <= kPermutedRuns; b += kBatch) {
    const int count = std::min(kBatch, kPermutedRuns - b + 1);
    rand1_fill(generator, u.data(), count * N);
    // Individual i of permutation q gets the value taken at step i.
    draw.take(u.data(), count, permuted.data() + 1);
    count_classes(count, permuted.data());
    for (int q = 0; q < count; ++q) evaluate(b + q, static_cast<size_t>(q));
  }

  // Per G, the observed and permuted values become rank scores: the largest
  // gets 0, the smallest 1.
  constexpr int runs = kPermutedRuns + 1;
  DoubleVector values = dvector(1, runs);
  IntVector order = ivector(1, runs);
  for (size_t G = 2; G <= static_cast<size_t>(Gmax); ++G) {
    for (int b = 0; b < runs; ++b) values[b + 1] = score[static_cast<size_t>(b)][G];
    Quickindex(values, order, runs);
    for (int position = 1; position <= runs; ++position)
      score[static_cast<size_t>(order[position] - 1)][G] = static_cast<double>(runs - position) / kPermutedRuns;
  }
  std::vector<double> minp(runs, 0.0);
  int best_groups = Gmax;
  for (size_t b = 0; b < static_cast<size_t>(runs); ++b) {
    int chosen = Gmax;
    double smallest = score[b][static_cast<size_t>(Gmax)];
    for (int G = 2; G <= Gmax; ++G) {
      if (score[b][static_cast<size_t>(G)] < smallest) {
        smallest = score[b][static_cast<size_t>(G)];
        chosen = G;
      }
    }
    minp[b] = smallest;
    if (b == 0) best_groups = chosen;
  }

  result.record = records[static_cast<size_t>(best_groups - 2)];
  result.record->setrank = rank;
  const auto better = std::count_if(minp.begin(), minp.end(), [&](double m) { return m < minp[0]; });
  result.score = 1.0 - static_cast<double>(better) / kPermutedRuns;
  result.console = console.str();
  return result;
}

}  // namespace snp
