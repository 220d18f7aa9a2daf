#include "coding/random_data.h"

#include <cstdlib>
#include <string>

namespace snp {
namespace {

// Names and letters so that the later phases and the result lines have
// something to show; the random source has no map files.
void fill_placeholder_maps(RunData& d, int population_marker, int typed_marker) {
  d.population_data_SNP.resize(static_cast<size_t>(population_marker));
  d.allele_name.assign(static_cast<size_t>(population_marker), AllelePair{'A', 'G'});
  for (int j = 0; j < population_marker; ++j) d.population_data_SNP[static_cast<size_t>(j)] = "random" + std::to_string(j + 1);
  d.disease_data_SNP.assign(static_cast<size_t>(typed_marker), std::string());
  d.disease_allele_name.assign(static_cast<size_t>(typed_marker), AllelePair{'A', 'G'});
}

}  // namespace

int randomdata(RunContext& ctx) {
  const RunConfig& cfg = ctx.config;
  RunData& d = ctx.data;
  const int p = cfg.population_marker;
  const int typed = cfg.typed_marker;
  fill_placeholder_maps(d, p, typed);

  // The C library generator, never seeded: the same sizes give the same data.
  d.SNP_map.assign(static_cast<size_t>(typed), 0);
  d.SNP_map1.assign(static_cast<size_t>(typed), 0);
  d.snp_matched.assign(static_cast<size_t>(typed), 0);
  for (int i = 0; i < typed; ++i) {
    d.SNP_map1[static_cast<size_t>(i)] = static_cast<int>((10L * i) % p);
    d.SNP_map[static_cast<size_t>(i)] = std::rand() % typed;
    // A marker mapped to its own index counts as unmatched.
    d.snp_matched[static_cast<size_t>(i)] = d.SNP_map[static_cast<size_t>(i)] != i;
  }
  d.max_SNP_map1_i = typed;

  d.data1.sample_number = cfg.typed_sample;
  d.data1.marker_number = p;
  d.data1.genotype.allocate(cfg.typed_sample, p);
  d.data1.status.assign(static_cast<size_t>(cfg.typed_sample), 0);
  d.sample_ids.clear();
  for (int s = 0; s < cfg.typed_sample; ++s) d.sample_ids.push_back("random" + std::to_string(s + 1));
  for (int s = 0; s < cfg.typed_sample; ++s) {
    for (int m = 0; m < p; ++m)
      d.data1.genotype(s, m) = std::rand() % 20 == 0 ? std::int8_t{-1} : static_cast<std::int8_t>(std::rand() % 3);
    d.data1.status[static_cast<size_t>(s)] = static_cast<std::int16_t>(std::rand() % 2);
  }

  d.data_population.sample_number = cfg.population_sample;
  d.data_population.marker_number = p;
  d.data_population.genotype.allocate(cfg.population_sample, p);
  d.data_population.status.assign(static_cast<size_t>(cfg.population_sample), 0);
  for (int h = 0; h < cfg.population_sample; ++h)
    for (int m = 0; m < p; ++m) d.data_population.genotype(h, m) = static_cast<std::int8_t>(std::rand() % 2);
  return 0;
}

}  // namespace snp
