#pragma once
// The freeze watchdog on Windows: a thread that probes the main thread's
// message window and reports when ten answers in a row are missing.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>

#include "common/win/WinHandle_win.h"
#include "reporter/core/freeze/Watchdog.h"

namespace ruvex {

struct TFreezeWatchdogConfig {
  HWND mainWindow = nullptr;       // the main thread's message window
  HANDLE watchdogMutex = nullptr;  // process-wide: one watchdog polls; none: no wait
  std::int32_t freezeTimeoutSeconds = 60;
  // Runs on the watchdog thread; raises the freeze through the central handler.
  std::function<void()> reportFreeze;
};

class TFreezeWatchdog {
 public:
  TFreezeWatchdog() = default;
  ~TFreezeWatchdog() { Stop(); }
  TFreezeWatchdog(const TFreezeWatchdog&) = delete;
  TFreezeWatchdog& operator=(const TFreezeWatchdog&) = delete;

  // False without a main window or when a handle cannot be made.
  bool Start(TFreezeWatchdogConfig config);
  // Nested pause and resume; ignored from the watchdog thread itself.
  void Pause(bool pause);
  // After a handled exception the count of misses starts again.
  void ResetMisses() { missReset_ = true; }
  // Stops the thread (500 ms, then by force) and only then closes the events.
  void Stop();
  DWORD ThreadId() const { return threadId_; }
  bool Running() const { return static_cast<bool>(thread_); }

 private:
  class TPort;
  static DWORD WINAPI ThreadMain(void* self);
  static void Answer(void* self, struct TMessage& message);

  TFreezeWatchdogConfig config_;
  kelvane::TWinHandle stopEvent_, pauseGate_, thread_;  // the gate is set while not paused
  DWORD threadId_ = 0;
  std::uint32_t probeMessage_ = 0;
  TPauseCounter pauses_;
  std::atomic<bool> missReset_{false};
};

}  // namespace ruvex
