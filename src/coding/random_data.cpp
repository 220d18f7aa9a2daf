#include "coding/random_data.h"

#include <cstdlib>
#include <string>

#include "base/errors.h"

namespace snp {

InputData random_input(const RandomDataSizes& sizes) {
  const int p = sizes.reference_markers;
  const int typed = sizes.study_markers;
  // Study markers are matched to random reference markers below their own
  // count, which must therefore all exist.
  if (typed > p)
    throw InputError(InputProblem::inconsistent,
                     "Error: --random-data needs no more typed markers than reference markers, found typed_marker " +
                         std::to_string(typed) + " and population_marker " + std::to_string(p) + "\n");
  InputData d;
  // Names and letters so that the later phases and the result lines have
  // something to show; positions are the marker indices.
  ReferencePanel& panel = d.panel;
  panel.marker_count = p;
  panel.haplotype_count = sizes.haplotypes;
  panel.letters.assign(static_cast<size_t>(p), AllelePair{'A', 'G'});
  for (int j = 0; j < p; ++j) {
    panel.names.push_back("random" + std::to_string(j + 1));
    panel.positions.push_back(j);
  }
  d.study_map.names.assign(static_cast<size_t>(typed), std::string());
  d.study_map.letters.assign(static_cast<size_t>(typed), AllelePair{'A', 'G'});

  MarkerAlignment& a = d.alignment;
  a.reference_marker.assign(static_cast<size_t>(typed), 0);
  a.matched.assign(static_cast<size_t>(typed), 0);
  a.concordance.assign(static_cast<size_t>(p), -1);
  a.typed_markers.assign(static_cast<size_t>(typed), 0);
  for (int i = 0; i < typed; ++i) {
    a.typed_markers[static_cast<size_t>(i)] = static_cast<int>((10L * i) % p);
    a.reference_marker[static_cast<size_t>(i)] = std::rand() % typed;
    // A marker mapped to its own index counts as unmatched.
    a.matched[static_cast<size_t>(i)] = a.reference_marker[static_cast<size_t>(i)] != i;
  }

  StudyGenotypes& study = d.study;
  const int individuals = sizes.individuals;
  study.individuals = individuals;
  study.codes.allocate(individuals, p);
  study.status.assign(static_cast<size_t>(individuals), 0);
  for (int s = 0; s < individuals; ++s) study.ids.push_back("random" + std::to_string(s + 1));
  for (int s = 0; s < individuals; ++s) {
    for (int m = 0; m < p; ++m)
      study.codes(s, m) = std::rand() % 20 == 0 ? std::int8_t{-1} : static_cast<std::int8_t>(std::rand() % 3);
    study.status[static_cast<size_t>(s)] = static_cast<std::int16_t>(std::rand() % 2);
  }

  panel.haplotypes.allocate(sizes.haplotypes, p);
  for (int h = 0; h < sizes.haplotypes; ++h)
    for (int m = 0; m < p; ++m) panel.haplotypes(h, m) = static_cast<std::int8_t>(std::rand() % 2);
  return d;
}

}  // namespace snp
