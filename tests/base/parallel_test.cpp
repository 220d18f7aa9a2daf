#include "base/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace snp {
namespace {

TEST(ParallelFor, EveryTaskOnceOnNoMoreWorkersThanTasks) {
  for (const int workers : {1, 2, 8})
    for (const int count : {0, 1, 3, 100}) {
      std::vector<std::atomic<int>> runs(static_cast<size_t>(count));
      std::atomic<int> highest_worker{0};
      parallel_for(count, workers, [&](int k, int worker) {
        ++runs[static_cast<size_t>(k)];
        for (int seen = highest_worker; worker > seen && !highest_worker.compare_exchange_weak(seen, worker);) {
        }
      });
      for (const auto& r : runs) EXPECT_EQ(r, 1) << workers << " workers, " << count << " tasks";
      EXPECT_LT(highest_worker, std::max(1, std::min(workers, count)));
    }
}

// The error a caller sees does not depend on the number of workers: it is
// that of the lowest-numbered failing task, as on one thread, and tasks
// after a failure are not started.
TEST(ParallelFor, LowestFailingTaskRethrownAndLaterTasksNotStarted) {
  for (const int workers : {1, 2, 4}) {
    std::atomic<int> ran{0};
    try {
      parallel_for(400, workers, [&](int k, int) {
        ++ran;
        if (k == 7) {
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
          throw std::runtime_error("task 7");
        }
        if (k == 9) throw std::runtime_error("task 9");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      });
      FAIL() << "no exception on " << workers << " workers";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "task 7") << workers << " workers";
    }
    EXPECT_LT(ran, 100) << workers << " workers";
  }
}

TEST(ParallelFor, WorkersForWork) {
  EXPECT_EQ(workers_for(0, 10, 8), 1);
  EXPECT_EQ(workers_for(35, 10, 8), 3);
  EXPECT_EQ(workers_for(1000, 10, 8), 8);
  EXPECT_EQ(workers_for(1000, 0, 0), 1);
  EXPECT_GE(hardware_threads(), 1);
}

}  // namespace
}  // namespace snp
