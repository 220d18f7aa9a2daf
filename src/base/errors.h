// Typed fatal errors. Library code throws them where a problem is detected;
// the program's edge (main) prints the message on the stream the error names
// and ends the process with the error's exit status (always non-zero).
#pragma once

#include <stdexcept>
#include <string>

namespace snp {

// Stream a fatal message is written to. The program's long-standing messages
// keep standard output; newly added diagnostics go to standard error.
enum class Channel { standard_output, standard_error };

class FatalError : public std::runtime_error {
 public:
  FatalError(std::string message, Channel channel, int exit_status = 1)
      : std::runtime_error(std::move(message)), channel_(channel), exit_status_(exit_status) {}
  // what() holds the exact text to print, line ends included.
  Channel channel() const { return channel_; }
  int exit_status() const { return exit_status_; }

 private:
  Channel channel_;
  int exit_status_;
};

// Memory exhaustion inside an allocator; printed as the three-line
// run-time error block on standard error.
class AllocationError : public FatalError {
 public:
  explicit AllocationError(const std::string& reason)
      : FatalError("Numerical Recipes run-time error...\n" + reason + "\n...now exiting to system...\n",
                   Channel::standard_error),
        reason_(reason) {}
  const std::string& reason() const { return reason_; }

 private:
  std::string reason_;
};

// Problems with the files a user hands the program.
enum class InputProblem { cannot_open, malformed, inconsistent };

class InputError : public FatalError {
 public:
  InputError(InputProblem problem, std::string message, Channel channel = Channel::standard_error,
             bool wait_for_keystroke = false)
      : FatalError(std::move(message), channel), problem_(problem), wait_(wait_for_keystroke) {}
  InputProblem problem() const { return problem_; }
  // True when the program asks for a keystroke before ending (only done
  // when standard input is a terminal).
  bool wait_for_keystroke() const { return wait_; }

 private:
  InputProblem problem_;
  bool wait_;
};

// "Error: line 12 of normal.map: expected 8 fields, found 6"
inline InputError malformed_line(const std::string& file, long line, const std::string& what) {
  return InputError(InputProblem::malformed,
                    "Error: line " + std::to_string(line) + " of " + file + ": " + what + "\n");
}

inline InputError inconsistent_file(const std::string& file, const std::string& what) {
  return InputError(InputProblem::inconsistent, "Error: " + file + ": " + what + "\n");
}

}  // namespace snp
