// Progress of the permutation test on standard error: after every permuted
// data set a line with the count, the elapsed time and an estimate of the
// time left, redrawn in place on a terminal and written as plain lines
// otherwise.
//
// The analysis announces its permutations on its console: "permutation=N"
// before it starts, "permutation = p " as data set p begins and
// "Cp0=... Cp_per=..." when it is done. ConsoleWatch passes the console
// through unchanged and tells the meter of these lines.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>

#include "analysis/run/context.h"

namespace snp {

// "permutation 3 of 19 done, 0:00:12 elapsed, about 0:01:04 left"
std::string progress_text(int done, int total, double elapsed_seconds);

class PermutationProgress {
 public:
  // Seconds on a steady clock.
  using Clock = std::function<double()>;
  static double steady_seconds();

  PermutationProgress(std::ostream& out, bool terminal, Clock clock = steady_seconds);
  // The next permutation test will run `total` permuted data sets.
  void announce(int total) { total_ = total; }
  // Its first data set begins: the clock starts.
  void begin();
  // One data set is done.
  void done_one();

 private:
  std::ostream& out_;
  bool terminal_;
  Clock clock_;
  int total_ = 0;
  int done_ = 0;
  double start_ = 0.0;
  std::size_t drawn_ = 0;  // length of the line on the terminal
};

// A stream buffer that writes everything to `target` as it comes and hands
// every console line of the permutation test to `progress`.
class ConsoleWatch : public std::streambuf {
 public:
  ConsoleWatch(std::streambuf* target, PermutationProgress& progress) : target_(target), progress_(progress) {}

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override { return target_->pubsync(); }

 private:
  void see(char c);
  void line_done();

  std::streambuf* target_;
  PermutationProgress& progress_;
  std::string line_;  // the start of the current line
};

// The console of `ctx` passed through a ConsoleWatch whose progress goes
// to standard error (redrawn when that is a terminal), for as long as this
// object lives; nothing changes when `quiet`.
class ProgressConsole {
 public:
  ProgressConsole(AnalysisContext& ctx, bool quiet);
  ProgressConsole(const ProgressConsole&) = delete;
  ProgressConsole& operator=(const ProgressConsole&) = delete;

 private:
  std::optional<PermutationProgress> progress_;
  std::optional<ConsoleWatch> watch_;
  std::optional<std::ostream> stream_;
};

}  // namespace snp
