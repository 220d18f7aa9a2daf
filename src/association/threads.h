// Runs independent tasks on a number of threads.
#pragma once

#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace snp::association {

// Calls task(i) for every i < count, each once, on up to `threads` threads
// (the caller's among them); returns when all have ended. Tasks must not
// throw.
template <class Task>
void run_on_threads(size_t count, int threads, const Task& task) {
  std::atomic<size_t> next{0};
  const auto work = [&] {
    for (size_t i = next++; i < count; i = next++) task(i);
  };
  std::vector<std::jthread> helpers;
  for (int t = 1; t < threads && static_cast<size_t>(t) < count; ++t) helpers.emplace_back(work);
  work();
}

}  // namespace snp::association
