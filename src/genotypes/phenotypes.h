// Case/control status or a quantitative phenotype per sample, from the
// .fam's phenotype field, from a list of case IDs or from a phenotype file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "genotypes/genotypes.h"

namespace snp::genotypes {

enum class PhenotypeKind { case_control, quantitative };

struct Phenotypes {
  PhenotypeKind kind = PhenotypeKind::case_control;
  // One per sample of the genotype input; nullopt: excluded (missing
  // phenotype, or a sample the phenotype file does not name). Case/control:
  // 1 = case, 0 = control.
  std::vector<std::optional<double>> values;
  long excluded = 0;
  long unmatched_ids = 0;  // IDs of the case list or phenotype file naming no sample

  long cases() const;
  long controls() const;
};

// From the .fam's sixth field: 2 case, 1 control, 0, -9 or NA excluded;
// any other number makes the whole column quantitative (then -9 and NA are
// missing). Throws InputError (naming the .fam and line) on a value that
// is no number.
Phenotypes phenotypes_from_fam(const std::vector<Sample>& samples, const std::string& fam_path);

// Samples whose IID (or "FID IID", or FID_IID) is a line of the file are
// cases, all others controls. Blank lines are ignored. Throws InputError
// when the file cannot be read.
Phenotypes phenotypes_from_case_list(const std::vector<Sample>& samples, const std::string& path);

// A header line, then one line per sample, fields separated by blanks or
// tabs. The sample is found by the FID and IID columns, or by a column
// named IID or ID alone; the phenotype is the column named `column`, or
// else the first other column. Values 1/2 (2 = case) or 0/1 (1 = case) are
// case/control, anything else numeric is quantitative; NA and -9 are
// missing. Samples the file does not name are excluded. Throws InputError
// naming the file and line.
Phenotypes phenotypes_from_file(const std::vector<Sample>& samples, const std::string& path,
                                const std::string& column = "");

// The first `cases` samples cases, the next `controls` controls.
Phenotypes phenotypes_from_counts(int cases, int controls);

}  // namespace snp::genotypes
