// BackgroundTask: a worker thread with a finished flag that a waiter can time out on.
#include "engine/BackgroundTask.h"

namespace velmora {

BackgroundTask::BackgroundTask(std::function<void()> work)
    : worker([this, work = std::move(work)] {
          work();
          std::lock_guard<std::mutex> guard(lock);
          finished = true;
          finishedSignal.notify_all();
      }) {}

BackgroundTask::~BackgroundTask() {
    worker.join();
}

bool BackgroundTask::finishedWithin(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> guard(lock);
    return finishedSignal.wait_for(guard, limit, [this] { return finished; });
}

} // namespace velmora
