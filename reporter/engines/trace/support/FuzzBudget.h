#pragma once
// A time budget for one fuzzed trace: the tracer's abort flag is raised
// when it runs out, as the reporter raises it when the user cancels.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace ruvex::testing {

class TFuzzBudget {
 public:
  explicit TFuzzBudget(std::chrono::milliseconds budget)
      : watch_([this, budget] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!done_cv_.wait_for(lock, budget, [this] { return done_; })) abort.store(true);
        }) {}
  ~TFuzzBudget() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    done_cv_.notify_one();
    watch_.join();
  }
  std::atomic<bool> abort{false};

 private:
  std::mutex mutex_;
  std::condition_variable done_cv_;
  bool done_ = false;
  std::thread watch_;
};

}  // namespace ruvex::testing
