#pragma once
// The reporter's message window in the main thread: the firing message
// reaches the main thread through it, so that synchronised handlers run
// there. Created and destroyed by the main thread.
#include <windows.h>

#include <functional>

#include "reporter/core/extensions/HandlerFiring.h"

namespace ruvex {

inline constexpr LRESULT kFiringAnswer = 777;

class TWin32MainThreadChannel final : public IMainThreadChannel {
 public:
  // `inHandlers` is told while a pass runs in the main thread, so that the
  // main thread's own exceptions are held back meanwhile.
  explicit TWin32MainThreadChannel(std::function<void(bool)> inHandlers);
  ~TWin32MainThreadChannel() override;
  TWin32MainThreadChannel(const TWin32MainThreadChannel&) = delete;
  TWin32MainThreadChannel& operator=(const TWin32MainThreadChannel&) = delete;

  bool MessageWindowExists() const override { return window_ != nullptr; }
  // Pausing threads is not built: the main thread is never paused.
  bool ResumeIfPaused() override { return false; }
  void PauseAgain() override {}
  bool Probe(std::chrono::milliseconds timeout) override;
  bool CallSynchronised(const std::function<void()>& pass, std::chrono::milliseconds timeout) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND window_ = nullptr;
  std::function<void(bool)> inHandlers_;
};

}  // namespace ruvex
