// The run's parameter file: 18 label/value pairs in a fixed order.
#pragma once

#include <iosfwd>
#include <string>
#include <optional>
#include <string_view>
#include <vector>

#include "parameters/run_config.h"

namespace snp {

// Reads the values in order into cfg. Labels are free tokens and ignored.
// Reading stops at the end of the text or at the first malformed value (a
// warning naming the pair goes to `warnings`); later values keep theirs.
void parse_parameter_text(std::string_view text, const std::string& path, RunConfig& cfg, std::ostream& warnings);

// Opens and reads the file; false when it cannot be opened (cfg unchanged).
bool read_parameter_file(const std::string& path, RunConfig& cfg, std::ostream& warnings);

// The 18 pairs as "label value" lines, with the range's effective bounds.
// Throws InputError when a path holds white space, which the file cannot carry.
std::string parameter_text(const RunConfig& cfg);

// Sets the pair named by "LABEL=VALUE" (a label as parameter_text writes it);
// throws InputError on an unknown label or a malformed value.
void assign_parameter(std::string_view assignment, RunConfig& cfg);

// Writes `path`: the pairs of `base` (the defaults when none), changed by
// the LABEL=VALUE assignments in order.
void write_parameter_file(const std::string& path, const std::optional<std::string>& base,
                          const std::vector<std::string>& assignments, std::ostream& warnings);

// Prints the settings and the nine paths as the run shows them at start-up.
void echo_settings(const RunConfig& cfg, std::ostream& console);
void echo_paths(const RunConfig& cfg, std::ostream& console);

// Appends "/" to both data directories when missing.
void normalise_directories(RunConfig& cfg);

// Warns about settings that are legal but probably a mistake: a calling
// threshold outside [0, 1), a marker range that imputes less than it says.
void warn_about_settings(const RunConfig& cfg, const std::string& path, std::ostream& warnings);

// Rejects counts the run cannot work with (throws InputError).
void validate_counts(const RunConfig& cfg, const std::string& path);

}  // namespace snp
