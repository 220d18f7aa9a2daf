#include "analysis/state/transcript.h"

namespace snp {

Transcript::Transcript(std::ostream& console) : console_(console), sink_(console.rdbuf(this)) {}

Transcript::~Transcript() { console_.rdbuf(sink_); }

void Transcript::write_unrecorded(std::string_view text) {
  if (sink_->sputn(text.data(), static_cast<std::streamsize>(text.size())) != static_cast<std::streamsize>(text.size()))
    console_.setstate(std::ios::badbit);
}

Transcript::int_type Transcript::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  pieces_.back().push_back(traits_type::to_char_type(c));
  return sink_->sputc(traits_type::to_char_type(c));
}

std::streamsize Transcript::xsputn(const char* text, std::streamsize count) {
  pieces_.back().append(text, static_cast<size_t>(count));
  return sink_->sputn(text, count);
}

int Transcript::sync() { return sink_->pubsync(); }

void write_unrecorded(std::ostream& out, std::string_view text) {
  if (auto* transcript = dynamic_cast<Transcript*>(out.rdbuf()))
    transcript->write_unrecorded(text);
  else
    out << text;
}

void mark_transcript(std::ostream& out) {
  if (auto* transcript = dynamic_cast<Transcript*>(out.rdbuf())) transcript->mark();
}

}  // namespace snp
