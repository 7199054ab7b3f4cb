#include "reporter/delivery/sending/BackgroundSends.h"

#include <system_error>

namespace ruvex {

bool TBackgroundSends::Start(std::function<void()> work) {
  std::lock_guard<std::mutex> hold(lock_);
  try {
    threads_.emplace_back([work = std::move(work)] {
      // A fault of one send must not end the program it reports on.
      try {
        work();
      } catch (...) {
      }
    });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void TBackgroundSends::WaitAll() {
  std::vector<std::thread> running;
  {
    std::lock_guard<std::mutex> hold(lock_);
    running.swap(threads_);
  }
  for (auto& thread : running) {
    if (!thread.joinable()) continue;
    // A send waiting for itself would never end.
    if (thread.get_id() == std::this_thread::get_id())
      thread.detach();
    else
      thread.join();
  }
}

}  // namespace ruvex
