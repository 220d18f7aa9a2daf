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
  std::vector<std::string> unmatched;  // those IDs, in file order
  // What the reader decided for the user to know (the column read, a
  // quantitative reading), one line each for standard error.
  std::vector<std::string> notes;

  long cases() const;
  long controls() const;
};

// How a status column is read. Case/control: 2/1 (2 = case; 0, -9 and NA
// missing) or 1/0 (1 = case; -9 and NA missing). Without `quantitative` a
// column is read as quantitative only when one of its values is no whole
// number or most of them are not 0, 1 or 2 (a note says so); any other
// value that fits neither coding is an error naming the line.
struct PhenotypeOptions {
  std::string column = "";    // the value column to read; empty: the first
  bool quantitative = false;  // the user asks for a quantitative phenotype
  std::string quantitative_option = "";  // the option that asks for it, named in errors; empty: none
};

// From the .fam's sixth field (line = sample number), coded as above.
// Throws InputError (naming the .fam and line) on a value that is no
// number or fits no coding.
Phenotypes phenotypes_from_fam(const std::vector<Sample>& samples, const std::string& fam_path,
                               const PhenotypeOptions& options = {});

// Samples whose IID (or "FID IID", or FID_IID) is a line of the file are
// cases, all others controls. Blank lines and a UTF-8 byte-order mark are
// ignored. Throws InputError when the file cannot be read.
Phenotypes phenotypes_from_case_list(const std::vector<Sample>& samples, const std::string& path);

// A header line (after a UTF-8 byte-order mark, if any), then one line per
// sample, fields separated by blanks or tabs. The sample is found by the
// FID and IID columns, or by a column named IID or ID alone; the phenotype
// is the value column options.column names, or else the first one (a note
// names it when there are several), coded as PhenotypeOptions says.
// Samples the file does not name are excluded. Throws InputError naming
// the file and line.
Phenotypes phenotypes_from_file(const std::vector<Sample>& samples, const std::string& path,
                                const PhenotypeOptions& options = {});

// The IDs of the list, quoted with their control and non-ASCII bytes as
// \xNN, the first `shown` of them ("..." after).
std::string listed_ids(const std::vector<std::string>& ids, size_t shown = 5);

// The first `cases` samples cases, the next `controls` controls.
Phenotypes phenotypes_from_counts(int cases, int controls);

}  // namespace snp::genotypes
