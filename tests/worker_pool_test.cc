// The worker pool on its own: results come back in the order of their
// batches, and what it keeps for sending stays within the frames still to go
// however long the run, when every frame is larger than a socket holds.
#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "worker_pool.h"

namespace zorvel::cli {
namespace {

TEST(WorkerPool, FramesSentAreNotKept) {
  constexpr size_t kFrame = 1 << 20;
  constexpr int kBatches = 200;
  std::vector<uint64_t> delivered;
  WorkerPool pool(
      1,
      [](std::string_view batch, std::string* result) {
        // Slower than the sender, so that a frame is always part way sent
        // when the next is queued behind it.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        result->append(std::to_string(batch.size()));
        result->push_back(batch.front());
      },
      [&](uint64_t index, bool ok, std::string&& result) {
        EXPECT_TRUE(ok) << result;
        EXPECT_EQ(result, std::to_string(kFrame) + static_cast<char>('a' + index % 26));
        delivered.push_back(index);
      });
  std::string error;
  ASSERT_TRUE(pool.Start(&error)) << error;
  size_t most = 0;
  for (int i = 0; i < kBatches; ++i) {
    pool.Submit(std::string(kFrame, static_cast<char>('a' + i % 26)));
    most = std::max(most, pool.buffered_bytes());
  }
  pool.Finish();
  ASSERT_EQ(delivered.size(), static_cast<size_t>(kBatches));
  for (int i = 0; i < kBatches; ++i) EXPECT_EQ(delivered[i], static_cast<uint64_t>(i));
  // A worker's frames still to go (those it holds, and the one being
  // queued), and what was sent of them, at most as much again.
  EXPECT_LE(most, 2 * (WorkerPool::kHeldPerWorker + 1) * kFrame);
}

}  // namespace
}  // namespace zorvel::cli
