// Runs independent tasks on a number of threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

namespace snp {

// The machine's processors; at least 1.
inline int hardware_threads() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

// Calls task(0) .. task(count - 1), each once, on up to `threads` threads
// (the caller's among them). Returns when all have ended; a task that
// throws must catch its own exceptions.
template <class Task>
void parallel_for(int count, int threads, Task task) {
  const int helpers = std::min(threads, count) - 1;
  std::atomic<int> next{0};
  const auto work = [&] {
    for (int t = next++; t < count; t = next++) task(t);
  };
  std::vector<std::jthread> pool;
  pool.reserve(static_cast<size_t>(std::max(helpers, 0)));
  for (int h = 0; h < helpers; ++h) pool.emplace_back(work);
  work();
}

}  // namespace snp
