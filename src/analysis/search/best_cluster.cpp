#include "analysis/search/best_cluster.h"

#include <ostream>

#include "analysis/search/marker_set.h"
#include "base/errors.h"

namespace snp {
namespace {

// The search keeps sets of one or two markers (CsmParameters::max_set_size);
// a record claiming more is damaged, and one of 20 would ask for gigabytes.
constexpr unsigned kMostMarkersInSet = 2;

class RecordReader {
 public:
  RecordReader(TagReader& in, const std::string& file, int n) : in_(in), file_(file), n_(n) {}

  template <class T>
  T value(const char* what) {
    T v{};
    if (!(in_.stream() >> v)) malformed(std::string("expected ") + what);
    return v;
  }

  [[noreturn]] void malformed(const std::string& what) const {
    throw InputError(InputProblem::malformed,
                     "Error: record " + std::to_string(n_) + " of " + file_ + ": " + what + "\n");
  }

 private:
  TagReader& in_;
  const std::string& file_;
  int n_;
};

void read_group_bits(TagReader& in, RecordReader& reader, BestClusterInformation& record) {
  for (unsigned group = 0; group < record.ngroup; ++group) {
    const auto g = reader.value<unsigned>("a group number");
    if (g >= record.ngroup) reader.malformed("group number " + std::to_string(g) + " outside 0.." +
                                             std::to_string(record.ngroup - 1));
    std::istream& s = in.stream();
    int c = s.get();
    while (c != std::char_traits<char>::eof() && c != '0' && c != '1') c = s.get();
    std::string read;
    for (unsigned u = 0; u < record.ncode; ++u) {
      if (u > 0) c = s.get();
      if (c == std::char_traits<char>::eof()) reader.malformed("expected " + std::to_string(record.ncode) +
                                                               " group bits of group " + std::to_string(g));
      read.push_back(static_cast<char>(c));
      if (c == '1') {
        record.Tindex[g].set(u);
      } else if (c == '0') {
        record.Tindex[g].reset(u);
      } else {
        throw FatalError("find error in BCI file" + read + "k= " + std::to_string(u) + "\n",
                         Channel::standard_output);
      }
    }
  }
}

}  // namespace

BestClusterInformation::BestClusterInformation(unsigned k, unsigned G, int N)
    : ncode(genotype_space(k) + 1),
      nmarker_total(N),
      Nozerogroupnum(G),
      nmarker(k),
      setrank(0),
      ngroup(G),
      Tindex(G, BitSet(genotype_space(k) + 1)),
      GenotypeCode(ncode, 0),
      GroupFrequency(G, 0.0),
      GroupAverage(G, 0.0) {}

bool BestClusterInformation::in_group(unsigned g, unsigned code) const {
  for (unsigned u = 0; u < ncode; ++u)
    if (Tindex[g].test(u) && GenotypeCode[u] == code) return true;
  return false;
}

int BestClusterInformation::Store(const std::string& file, int n) const {
  std::ofstream out(file, std::ios::app | std::ios::binary);
  if (!out) return 0;
  out << record_tag(n) << "\n<Best Cluster Information>\n"
      << nmarker << ' ' << ngroup << ' ' << nmarker_total << ' ' << setrank << ' ' << ncode << ' ' << Nozerogroupnum
      << "\n<Cluster Information>\n";
  for (unsigned g = 0; g < ngroup; ++g) {
    out << g << "\n";
    for (unsigned u = 0; u < ncode; ++u) out << (Tindex[g].test(u) ? '1' : '0');
    out << "\n";
  }
  out << "\n<\\Cluster Information>\n<Genotype Code Information>\n";
  for (const unsigned code : GenotypeCode) out << code << ' ';
  out << "\n<\\Genotype Code Information>\n<Group Frequency Information>\n";
  for (const double f : GroupFrequency) out << f << ' ';
  out << "\n<\\Group Frequency Information>\n<Group Average Information>\n";
  for (const double a : GroupAverage) out << a << ' ';
  out << "\n<\\Group Average Information>\n\n<\\Best Cluster Information>\n<\\number " << n << ">\n";
  out.close();
  return out ? 1 : 0;
}

std::unique_ptr<BestClusterInformation> BestClusterInformation::ReStore(const std::string& file, int n) {
  TagReader in(file);
  if (!in.is_open()) throw FatalError("file open find error for file=" + file + "\n", Channel::standard_error);
  RecordReader reader(in, file, n);
  if (in.find(record_tag(n)) == 0 || in.find("<Best Cluster Information>") == 0) return nullptr;
  const auto k = reader.value<unsigned>("the number of markers");
  const auto G = reader.value<unsigned>("the number of groups");
  const auto N = reader.value<int>("the number of markers drawn from");
  if (k > kMostMarkersInSet) reader.malformed("a set of " + std::to_string(k) + " markers is too large");
  if (G > genotype_space(k) + 1)
    reader.malformed(std::to_string(G) + " groups exceed the " + std::to_string(genotype_space(k) + 1) + " slots");
  auto record = std::make_unique<BestClusterInformation>(k, G, N);
  record->setrank = reader.value<int>("the set's rank");
  const auto slots = reader.value<unsigned>("the number of slots");
  record->Nozerogroupnum = reader.value<unsigned>("the number of non-empty groups");
  if (slots != record->ncode)
    throw FatalError("find error when ReStore Best Cluster Information\n", Channel::standard_error);
  // The fit reads the frequencies of the first Nozerogroupnum - 1 groups.
  if (record->Nozerogroupnum > G)
    reader.malformed(std::to_string(record->Nozerogroupnum) + " non-empty groups exceed the " + std::to_string(G) +
                     " groups");

  if (in.find("<Cluster Information>") == 0) return nullptr;
  read_group_bits(in, reader, *record);
  if (in.find("<Genotype Code Information>") == 0) return nullptr;
  for (auto& code : record->GenotypeCode) code = reader.value<unsigned>("a genotype code");
  if (in.find("<Group Frequency Information>") == 0) return nullptr;
  for (auto& f : record->GroupFrequency) f = reader.value<double>("a group frequency");
  if (in.find("<Group Average Information>") == 0) return nullptr;
  for (auto& a : record->GroupAverage) a = reader.value<double>("a group average");
  return record;
}

void BestClusterInformation::ShowMemberInGroup(std::ostream& out) const {
  out << nmarker << "\n" << setrank << "\n" << ngroup << "\n" << Nozerogroupnum << "\n";
  for (unsigned g = 0; g < ngroup; ++g) {
    out << "Cluster order number of group number=" << g << "\n";
    for (unsigned u = 0; u < ncode; ++u)
      if (Tindex[g].test(u)) out << u << ' ';
    out << "\n";
  }
  for (unsigned g = 0; g < ngroup; ++g) {
    out << "GenotypeCode of group number=" << g << "\n";
    for (unsigned u = 0; u < ncode; ++u)
      if (Tindex[g].test(u)) out << GenotypeCode[u] << ' ';
    out << "\n";
  }
  out << "Group Frequency of " << ngroup << " group\n";
  for (const double f : GroupFrequency) out << f << ' ';
  out << "\nGroup Average of " << ngroup << " group\n";
  for (const double a : GroupAverage) out << a << ' ';
  out << "\n";
}

bool BestClusterInformationArray::append(BestClusterInformation record) {
  if (count() >= capacity_) return false;
  entries_.push_back(std::move(record));
  return true;
}

std::streamoff TagReader::find(std::string_view pattern) {
  if (!in_ || pattern.empty()) return 0;
  in_.seekg(position_);
  std::string candidate(pattern.size(), '\0');
  for (;;) {
    int c = in_.get();
    while (c != std::char_traits<char>::eof() && c != static_cast<unsigned char>(pattern[0])) c = in_.get();
    if (c == std::char_traits<char>::eof()) return 0;
    const std::streamoff q = static_cast<std::streamoff>(in_.tellg()) - 1;
    in_.seekg(q);
    if (in_.read(candidate.data(), static_cast<std::streamsize>(candidate.size())) && candidate == pattern) {
      position_ = q + static_cast<std::streamoff>(pattern.size());
      return position_;
    }
    in_.clear();
    in_.seekg(q + 1);
  }
}

std::string record_tag(int n) { return "<number " + std::to_string(n) + ">"; }

}  // namespace snp
