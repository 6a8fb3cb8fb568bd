// BackgroundTask: a wait with a time limit on work running beside it.
#include "engine/BackgroundTask.h"

#include "support/Process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

using namespace velmora;

namespace {

// A wait that only listens for the finish signal misses one sent before it.
TEST(BackgroundTask, WorkThatEndedBeforeTheWaitIsReportedAtOnce) {
    std::atomic<bool> done{false};
    BackgroundTask task([&] { done = true; });
    ASSERT_TRUE(testsupport::waitUntil(10, [&] { return done.load(); }));
    testsupport::pause(0.1); // past the worker's own signal
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(task.finishedWithin(std::chrono::milliseconds(5000)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

} // namespace
