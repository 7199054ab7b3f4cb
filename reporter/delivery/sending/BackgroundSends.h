#pragma once
// The send threads of the process: each is kept until it is waited for, so
// that the program never ends while a report is still on its way.
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace ruvex {

class TBackgroundSends {
 public:
  TBackgroundSends() = default;
  ~TBackgroundSends() { WaitAll(); }
  TBackgroundSends(const TBackgroundSends&) = delete;
  TBackgroundSends& operator=(const TBackgroundSends&) = delete;

  // Runs work on a new thread; false when no thread could be made (work
  // has not run then).
  bool Start(std::function<void()> work);
  // Returns once every thread started so far has ended.
  void WaitAll();

 private:
  std::mutex lock_;
  std::vector<std::thread> threads_;
};

}  // namespace ruvex
