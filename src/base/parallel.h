// The one place the toolkit starts threads: independent tasks run on a
// number of workers, with one rule for their count and one for failures.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace snp {

// The machine's processors; at least 1. The default of a --threads option.
inline int hardware_threads() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

// Workers worth starting for `work` items of which each worker should get
// at least `per_worker`: between 1 and `limit`.
inline int workers_for(std::size_t work, std::size_t per_worker, int limit) {
  const std::size_t wanted = work / std::max<std::size_t>(per_worker, 1);
  return static_cast<int>(std::clamp<std::size_t>(wanted, 1, static_cast<std::size_t>(std::max(limit, 1))));
}

// Calls task(k, worker) for k = 0 .. count - 1, each once, on
// min(workers, count) threads, the caller's among them; `worker` (0 for the
// caller's thread) numbers the thread for its own scratch space. Tasks are
// handed out in increasing order. Returns when all have ended.
//
// A task that throws stops the handing out of later tasks; those already
// running finish. The exception of the lowest-numbered task that threw is
// then rethrown in the caller: the one a run on a single thread would
// raise, whatever the number of workers.
template <class Task>
void parallel_for(int count, int workers, Task&& task) {
  const int used = std::max(1, std::min(workers, count));
  if (used == 1) {
    for (int k = 0; k < count; ++k) task(k, 0);
    return;
  }
  std::atomic<int> next{0};
  std::atomic<int> end{count};  // no task from here on is handed out
  std::mutex failure_lock;
  std::exception_ptr failure;
  int failed = count;
  const auto work = [&](int worker) {
    for (int k = next++; k < end.load(); k = next++) {
      try {
        task(k, worker);
      } catch (...) {
        const std::lock_guard<std::mutex> lock(failure_lock);
        if (k < failed) failed = k, failure = std::current_exception();
        if (k < end.load()) end.store(k);
      }
    }
  };
  {
    std::vector<std::jthread> pool;
    pool.reserve(static_cast<std::size_t>(used - 1));
    for (int worker = 1; worker < used; ++worker) pool.emplace_back(work, worker);
    work(0);
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace snp
