// snp-screen's case/control data file: each line through the line decoders
// on exactly its bytes, then the whole file by one and by several readers.
// Bytes: the marker and sample counts, the bytes per reader.
#include <memory>

#include "harness.h"
#include "single_marker/case_control_file.h"

using namespace snp::screen;

SNP_FUZZ(input) {
  const int markers = 1 + input.byte() % 48;  // vector blocks of 8 and 16 and the rest
  const int first = input.byte();
  // Mostly a few lines; 256 to 261 pass the byte counters' flush after 255.
  const int samples = first < 250 ? 1 + first % 16 : 6 + first;
  const size_t bytes_per_reader = 1 + static_cast<size_t>(input.byte() % 64);
  const std::string_view text = input.text();
  MarkerCounts counts(markers);
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    const auto copy = std::make_unique<char[]>(end - start);
    std::copy(text.begin() + static_cast<long>(start), text.begin() + static_cast<long>(end), copy.get());
    const char* p = copy.get();
    const char* const stop = p + (end - start);
    decode_line(std::string_view(p, end - start), markers);
    if (const auto status = parse_status(p, stop)) counts.add_line(*status, p, stop);
    start = end + 1;
  }
  const std::string path = input.file("CaseAndControlData.txt");
  snp::fuzz::attempt([&] { read_case_control_counts(path, samples, markers); });
  read_case_control_counts(path, samples, markers, bytes_per_reader);
}
