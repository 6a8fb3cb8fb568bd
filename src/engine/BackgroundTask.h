// BackgroundTask: runs one piece of work on a thread of its own, so that its
// caller can wait for it with a time limit instead of for good. Used where a
// library call may block on something outside the program (the audio device
// at shut-down).
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace velmora {

class BackgroundTask {
  public:
    // Starts `work` at once on a new thread.
    explicit BackgroundTask(std::function<void()> work);
    // Waits for the work however long it takes: the work may use its
    // creator's memory, so it must never outlive it.
    ~BackgroundTask();

    // Waits up to `limit`; true when the work has finished by then.
    bool finishedWithin(std::chrono::milliseconds limit);

    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

  private:
    std::mutex lock;
    std::condition_variable finishedSignal;
    bool finished = false;
    std::thread worker; // last: it starts only once the members above exist
};

} // namespace velmora
