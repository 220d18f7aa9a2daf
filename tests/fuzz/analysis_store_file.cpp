// The store file of kept marker sets: records counted, restored (the first
// byte chooses one more record number), shown and turned into base learners.
#include <sstream>

#include "analysis/search/best_cluster.h"
#include "analysis/fit/csm_lars.h"
#include "analysis/search/marker_set.h"
#include "analysis/permutation/permutation.h"
#include "harness.h"

using namespace snp;

SNP_FUZZ(input) {
  const int extra = input.byte() % 16;
  const std::string path = input.file("store.txt");
  const int count = count_store_records(path);
  for (int n : {0, 1, 2, 3, 4, 5, 6, 7, extra}) {
    if (n >= count && n != extra) continue;
    fuzz::attempt([&] {
      const auto record = BestClusterInformation::ReStore(path, n);
      if (!record) return;
      std::ostringstream shown;
      record->ShowMemberInGroup(shown);
      for (unsigned g = 0; g < record->ngroup; ++g) {
        (void)record->in_group(g, 0);
        make_base_learner(0, *record, static_cast<int>(g), {}, {}, 1.0, 1.0);
      }
    });
  }
}
