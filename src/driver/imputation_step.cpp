#include "driver/imputation_step.h"

#include <string>

#include "impute/compatibility.h"
#include "impute/inference.h"
#include "impute/neighbourhood.h"

namespace snp {

void build_window(RunContext& ctx) {
  ImputationStep& step = ctx.step;
  const case_and_control_genotype_data& data1 = ctx.data.data1;
  const int individuals = data1.sample_number;
  const int n = step.positions();
  step.a.sample_number = individuals;
  step.a.marker_number = n;
  step.a.genotype.allocate(individuals, n);
  step.a.status.assign(static_cast<size_t>(individuals), 0);
  const int rows = phasing_table_rows(n);
  step.b.haplotype1 = cmatrix(0, rows, 0, n);
  step.b.haplotype2 = cmatrix(0, rows, 0, n);
  step.Genotype_with_id_haplotype_chain = imatrix(0, individuals, 0, 4096);
  for (int c = 0; c < n; ++c) {
    const std::int8_t* source = data1.genotype.column(step.position_marker(c));
    std::int8_t* target = step.a.genotype.column(c);
    for (int r = 0; r < individuals; ++r) target[r] = source[r];
  }
}

void release_window(ImputationStep& step) {
  const int rows = phasing_table_rows(step.a.marker_number);
  free_cmatrix(step.b.haplotype1, 0, rows, 0, step.a.marker_number);
  free_cmatrix(step.b.haplotype2, 0, rows, 0, step.a.marker_number);
  step.a.genotype.release();
  step.a.status.clear();
  free_imatrix(step.Genotype_with_id_haplotype_chain, 0, step.a.sample_number, 0, 4096);
}

int phasing_table_rows(int n) {
  double power = 1.0;
  for (int k = 0; k < n; ++k) power *= 2.0;
  const int rows = static_cast<int>(power);
  return rows <= 1999 ? 2000 : rows;
}

void require_typed_markers(const RunData& d) {
  if (d.max_SNP_map1_i < 2)
    throw InputError(InputProblem::inconsistent,
                     "Error: " + std::to_string(d.max_SNP_map1_i) +
                         " usable typed markers (study markers found in the panel by name, with comparable "
                         "letters and polymorphic there); at least 2 are needed to impute\n");
}

void run_imputation_step(RunContext& ctx, int i) {
  ImputationStep& step = ctx.step;
  step.begin_hapmap_i = i;
  step.len1 = 3;
  step.len2 = 3;
  determinate_len(ctx);
  build_window(ctx);
  determinate_either_have_pair2(ctx);
  for (int r = 0; r < step.a.sample_number; ++r)
    if (step.bitmap_have_pair[static_cast<size_t>(r)] == 0) find_multiple_haplotype_product(ctx, r, step.a, step.b);
  double unused = 0.0;
  infer_value_with_missing_neighbourhood(ctx, &unused);
  release_window(step);
}

}  // namespace snp
