// The console text of an analysis, kept while it is printed, so that an
// identical later analysis can print the same text without running again.
// Notes shown once per run stay out of it, and marks split it where a later
// analysis prints text of its own (the running tally of selected markers).
#pragma once

#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace snp {

class Transcript : public std::streambuf {
 public:
  // Records what `console` prints from now until this object ends, and
  // passes it on unchanged.
  explicit Transcript(std::ostream& console);
  ~Transcript() override;
  Transcript(const Transcript&) = delete;
  Transcript& operator=(const Transcript&) = delete;

  // The recorded text, split at the marks: one piece more than marks.
  const std::vector<std::string>& pieces() const { return pieces_; }

  // Prints `text` without recording it.
  void write_unrecorded(std::string_view text);
  // Starts a new piece.
  void mark() { pieces_.emplace_back(); }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  std::ostream& console_;
  std::streambuf* sink_;
  std::vector<std::string> pieces_{1};
};

// Prints `text` on `out`, outside any transcript recording `out`.
void write_unrecorded(std::ostream& out, std::string_view text);
// Marks the point of `out`'s transcript, if one records it.
void mark_transcript(std::ostream& out);

}  // namespace snp
