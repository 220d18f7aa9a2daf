// The search's store file of kept marker sets: count_store_records and
// BestClusterInformation::ReStore on a file of the input, for every record
// the count names (at most eight) and one record number taken from the
// first byte. A record read back is consistent with its own sizes, can be
// shown and turned into base learners, and survives being stored and read
// again.
#include <sstream>

#include "analysis/best_cluster.h"
#include "analysis/csm_lars.h"
#include "analysis/marker_set.h"
#include "analysis/permutation.h"
#include "fuzz_support.h"
#include "base/errors.h"

using namespace snp;

namespace {

void check_record(const BestClusterInformation& r, int n) {
  FUZZ_CHECK(r.ncode == genotype_space(r.nmarker) + 1, "slot count does not follow from the set size");
  FUZZ_CHECK(r.Tindex.size() == r.ngroup && r.GroupFrequency.size() == r.ngroup && r.GroupAverage.size() == r.ngroup,
             "per-group arrays of another size than the group count");
  FUZZ_CHECK(r.GenotypeCode.size() == r.ncode, "genotype codes of another size than the slot count");
  // The model fit reads GroupFrequency[0 .. Nozerogroupnum - 2].
  FUZZ_CHECK(r.Nozerogroupnum <= r.ngroup, "more non-empty groups than groups");
  std::ostringstream shown;
  r.ShowMemberInGroup(shown);
  for (unsigned g = 0; g < r.ngroup; ++g) {
    (void)r.in_group(g, 0);
    const BaseLearner learner =
        make_base_learner(0, r, static_cast<int>(g), {}, {}, 1.0, 1.0);
    FUZZ_CHECK(learner.group_of_class.size() == genotype_space(r.nmarker), "learner without every genotype class");
  }

  // Stored and read back twice: the second reading equals the first (the
  // numbers are written with six digits, so the first may round).
  const std::string again = fuzz::scratch_dir() + "/store-again.txt";
  std::remove(again.c_str());
  FUZZ_CHECK(r.Store(again, n) == 1, "cannot store a record read back");
  const auto first = BestClusterInformation::ReStore(again, n);
  FUZZ_CHECK(first != nullptr, "a stored record is not found again");
  std::remove(again.c_str());
  FUZZ_CHECK(first->Store(again, n) == 1, "cannot store a record read back");
  const auto second = BestClusterInformation::ReStore(again, n);
  FUZZ_CHECK(second != nullptr && *second == *first, "record " + std::to_string(n) + " changes when stored again");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int extra = data[0] % 16;
  const std::string path = fuzz::write_scratch("store.txt", fuzz::as_text(data + 1, size - 1));
  int count = 0;
  try {
    count = count_store_records(path);
  } catch (const InputError& e) {
    FUZZ_CHECK(fuzz::contains(e.what(), path), std::string("message without the file: ") + e.what());
    return 0;
  }
  FUZZ_CHECK(count >= 0, "negative record count");
  for (int n = 0; n < count && n < 8; ++n) {
    try {
      if (const auto record = BestClusterInformation::ReStore(path, n)) check_record(*record, n);
    } catch (const FatalError& e) {
      FUZZ_CHECK(fuzz::contains(e.what(), "BCI") || fuzz::contains(e.what(), "ReStore") ||
                     fuzz::contains(e.what(), path),
                 std::string("message without the file: ") + e.what());
    }
  }
  try {
    if (const auto record = BestClusterInformation::ReStore(path, extra)) check_record(*record, extra);
  } catch (const FatalError&) {
  }
  return 0;
}
