#include "analysis/run/progress.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <ostream>

namespace snp {
namespace {

constexpr std::size_t kWatchedLength = 32;

// h:mm:ss, whole seconds.
std::string clock_text(double seconds) {
  const long s = std::lround(std::max(seconds, 0.0));
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  return text;
}

bool starts_with(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

std::string progress_text(int done, int total, double elapsed_seconds) {
  std::string text = "permutation " + std::to_string(done) + " of " + std::to_string(total) + " done, " +
                     clock_text(elapsed_seconds) + " elapsed";
  if (done > 0 && done < total)
    text += ", about " + clock_text(elapsed_seconds / done * (total - done)) + " left";
  return text;
}

double PermutationProgress::steady_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

PermutationProgress::PermutationProgress(std::ostream& out, bool terminal, Clock clock)
    : out_(out), terminal_(terminal), clock_(std::move(clock)) {}

void PermutationProgress::begin() {
  done_ = 0;
  start_ = clock_();
}

void PermutationProgress::done_one() {
  ++done_;
  const std::string text = progress_text(done_, total_, clock_() - start_);
  if (terminal_) {
    // Blanks cover what is left of a longer line drawn before.
    out_ << '\r' << text << std::string(drawn_ > text.size() ? drawn_ - text.size() : 0, ' ');
    drawn_ = done_ >= total_ ? 0 : text.size();
    if (done_ >= total_) out_ << '\n';
  } else {
    out_ << text << '\n';
  }
  out_.flush();
}

ConsoleWatch::int_type ConsoleWatch::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  if (traits_type::eq_int_type(target_->sputc(ch), traits_type::eof())) return traits_type::eof();
  see(ch);
  return c;
}

std::streamsize ConsoleWatch::xsputn(const char* s, std::streamsize n) {
  const std::streamsize written = target_->sputn(s, n);
  for (std::streamsize i = 0; i < written; ++i) see(s[i]);
  return written;
}

void ConsoleWatch::see(char c) {
  if (c == '\n') {
    line_done();
  } else if (line_.size() < kWatchedLength) {
    line_.push_back(c);
  }
}

void ConsoleWatch::line_done() {
  if (starts_with(line_, "permutation=")) {
    progress_.announce(std::atoi(line_.c_str() + 12));
  } else if (starts_with(line_, "permutation = 0 ")) {
    progress_.begin();
  } else if (starts_with(line_, "Cp0=")) {
    progress_.done_one();
  }
  line_.clear();
}

ProgressConsole::ProgressConsole(AnalysisContext& ctx, bool quiet) {
  if (quiet) return;
  progress_.emplace(std::cerr, ::isatty(STDERR_FILENO) == 1);
  watch_.emplace(ctx.console->rdbuf(), *progress_);
  stream_.emplace(&*watch_);
  ctx.console = &*stream_;
}

}  // namespace snp
