#include "impute/reference_engine.h"

#include "impute/inference.h"

namespace snp {

int phasing_table_rows(int n) {
  double power = 1.0;
  for (int k = 0; k < n; ++k) power *= 2.0;
  const int rows = static_cast<int>(power);
  return rows <= 1999 ? 2000 : rows;
}

StepTables build_step_tables(const StudyGenotypes& study, const Neighbourhood& n) {
  StepTables t;
  t.individuals = study.individuals;
  t.positions = n.positions();
  t.window.allocate(t.individuals, t.positions);
  const int rows = phasing_table_rows(t.positions);
  t.phasings.haplotype1 = cmatrix(0, rows, 0, t.positions);
  t.phasings.haplotype2 = cmatrix(0, rows, 0, t.positions);
  t.chain = imatrix(0, t.individuals, 0, 4096);
  for (int c = 0; c < t.positions; ++c) {
    const std::int8_t* source = study.codes.column(n.position_marker(c));
    std::int8_t* target = t.window.column(c);
    for (int r = 0; r < t.individuals; ++r) target[r] = source[r];
  }
  return t;
}

const std::vector<GenotypeCall>& ReferenceEngine::impute(int t, std::ostream& console) {
  const ReferencePanel& panel = input_.panel;
  const StudyGenotypes& study = input_.study;
  const Neighbourhood n = choose_neighbourhood(panel, input_.typed_markers, cursor_, t);
  StepTables tables = build_step_tables(study, n);
  mark_compatible_pairs(panel, n, tables);
  for (int r = 0; r < tables.individuals; ++r)
    if (tables.have_pair[static_cast<size_t>(r)] == 0) check_piecewise_coverage(panel, n, r, tables, console);
  calls_.assign(static_cast<size_t>(study.individuals), GenotypeCall{});
  for (int r = 0; r < study.individuals; ++r) {
    const GenotypeEstimate e = estimate_genotype(panel, study, n, tables, r, console);
    GenotypeCall& call = calls_[static_cast<size_t>(r)];
    call.estimated = e.probability > 0.0;
    call.probabilities = e.probabilities;
    call.output = output_code(study.codes(r, t), e.code, e.probability, input_.threshold);
  }
  return calls_;
}

}  // namespace snp
