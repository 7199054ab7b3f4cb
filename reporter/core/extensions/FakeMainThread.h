#pragma once
// An IMainThreadChannel for tests: a "main thread" of its own that runs
// synchronised passes, or that is blocked and lets every wait run out on a
// fake clock.
#include <thread>

#include "reporter/core/extensions/HandlerFiring.h"

namespace ruvex {

class TFakeMainThread : public IMainThreadChannel {
 public:
  bool windowExists = true;
  bool blocked = false;
  bool paused = false;
  std::chrono::milliseconds clock{0};  // advanced by every wait that runs out
  int probes = 0, resumes = 0, pausesAgain = 0;
  std::thread::id passThread;

  bool MessageWindowExists() const override { return windowExists; }
  bool ResumeIfPaused() override {
    if (!paused) return false;
    ++resumes;
    return true;
  }
  void PauseAgain() override { ++pausesAgain; }
  bool Probe(std::chrono::milliseconds timeout) override {
    ++probes;
    if (!blocked) return true;
    clock += timeout;
    return false;
  }
  bool CallSynchronised(const std::function<void()>& pass, std::chrono::milliseconds timeout) override {
    if (blocked) {
      clock += timeout;
      return false;
    }
    std::thread main([&] {
      passThread = std::this_thread::get_id();
      pass();
    });
    main.join();
    return true;
  }
};

}  // namespace ruvex
