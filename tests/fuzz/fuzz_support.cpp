#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

namespace snp::fuzz {
namespace {

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Under $SNP_FUZZ_SCRATCH when set (the runner removes it afterwards, also
// after a finding, where the process ends without clean-up).
std::string make_scratch_dir() {
  std::string root;
  if (const char* chosen = std::getenv("SNP_FUZZ_SCRATCH")) {
    root = chosen;
    std::filesystem::create_directories(root);
  } else {
    root = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path().string();
  }
  std::string pattern = root + "/snp-fuzz-XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    std::abort();
  }
  return pattern;
}

void remove_scratch_dir() {
  std::error_code ignored;
  std::filesystem::remove_all(scratch_dir(), ignored);
}

constexpr std::string_view kTiny[5] = {
    // hapmap.hap: markers rs1..rs6; rs5 is monomorphic.
    "0 1 1 0 1 0\n"
    "1 0 1 1 1 ?\n"
    "0 0 0 1 1 1\n"
    "1 1 0 0 1 0\n",
    // hapmap.map
    "rsID position allele0 allele1\n"
    "rs1 1000 A G\n"
    "rs2 2000 C T\n"
    "rs3 3000 A C\n"
    "rs4 4000 G T\n"
    "rs5 5000 A G\n"
    "rs6 6000 C G\n",
    // normal.map: rs2 swapped, rs4 on the other strand, rs9 not in the panel.
    "7 1 rs1 A G 1000 0 0\n"
    "7 2 rs2 T C 2000 0 0\n"
    "7 3 rs4 C A 4000 0 0\n"
    "7 4 rs9 A T 9000 0 0\n",
    // disease.geno
    "case1 1 A G T C C A A T \n"
    "case2 1 G G C C 0 0 A A \n"
    "case3 1 A A T T C C T T \n",
    // normal.geno
    "ctrl1 0 A A C C A A A T \n"
    "ctrl2 0 A G T T C A 0 T \n",
};

}  // namespace

const std::string& scratch_dir() {
  // Never destroyed, so that the removal at exit can still read it.
  static const std::string* const dir = [] {
    auto* d = new std::string(make_scratch_dir());
    std::atexit(remove_scratch_dir);
    return d;
  }();
  return *dir;
}

std::string write_scratch(const std::string& name, std::string_view text) {
  const std::string path = scratch_dir() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) {
    std::cerr << "cannot write " << path << "\n";
    std::abort();
  }
  return path;
}

std::ostream& null_stream() {
  static NullBuffer buffer;
  static std::ostream stream(&buffer);
  return stream;
}

std::string_view as_text(const std::uint8_t* data, size_t size) {
  return size == 0 ? std::string_view() : std::string_view(reinterpret_cast<const char*>(data), size);
}

void fail(const char* file, int line, const std::string& what) {
  std::cerr << file << ":" << line << ": " << what << std::endl;
  std::abort();
}

std::string_view TinyData::content(int file) { return kTiny[file]; }

RunConfig TinyData::write_all() {
  std::filesystem::create_directories(scratch_dir() + "/tiny");
  for (int f = 0; f < 5; ++f) write_scratch(std::string("tiny/") + files[f], kTiny[f]);
  RunConfig cfg;
  cfg.current_chr = 7;
  cfg.population_marker = 6;
  cfg.population_sample = 4;
  cfg.typed_marker = 4;
  cfg.ncase = 3;
  cfg.ncontrol = 2;
  cfg.typed_sample = 5;
  cfg.path_hapmap_datadirectory = scratch_dir() + "/tiny/";
  cfg.path_disease_datadirectory = scratch_dir() + "/tiny/";
  return cfg;
}

}  // namespace snp::fuzz
