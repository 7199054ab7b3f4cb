#pragma once
// Cooperative pausing of the application's threads while an exception is
// handled: while a pause is on, the entries of GetMessage and PeekMessage
// (A and W) jump to hooks (a running message loop keeps the import it
// loaded once, so the functions themselves are patched), and a thread of the pause
// list that retrieves a message waits until the pause ends. Nothing is
// suspended by force. One pauser is active at a time.
#include <windows.h>

#include <functional>
#include <mutex>
#include <vector>

#include "common/win/NativeHandles.h"
#include "reporter/core/flow/FlowServices.h"
#include "reporter/core/hooks/patches/PatchList.h"
#include "reporter/core/startup/ThreadRegistry_win.h"

namespace ruvex {

class TThreadPauser {
 public:
  // Whether a module carries the reporter; by default it does when it has a
  // resource of type "RUVEX" named "EXCEPT".
  using TCarrierTest = std::function<bool(kelvane::TModuleHandle)>;

  // `registry` (the creators of threads) and `patches` must outlive the pauser.
  TThreadPauser(TThreadRegistry& registry, TPatchList& patches, DWORD mainThreadId, TCarrierTest carriesReporter = {});
  ~TThreadPauser();
  TThreadPauser(const TThreadPauser&) = delete;
  TThreadPauser& operator=(const TThreadPauser&) = delete;

  // Pauses every thread of the process created by a module that carries the
  // reporter, and the main thread, sparing the calling thread and
  // `sparedThreadId` (the thread that completes the report). notDone when
  // the message functions could not be redirected.
  TActionResult PauseThreads(DWORD sparedThreadId);
  void ResumeThreads();
  // Around synchronised handlers, which must run in the main thread.
  void ResumeMainThread();
  void PauseMainThread();
  bool Paused() const;

  // Called by the redirected message functions.
  void WaitIfPaused();

 private:
  struct THookedFunction {
    Address entry;
    TBytes entryJump;
  };
  bool RedirectMessageFunctions(HMODULE user32);
  bool CreatedByReporterModule(DWORD threadId) const;
  void WakeThreads(const std::vector<std::uint32_t>& threads) const;

  TThreadRegistry& registry_;
  TPatchList& patches_;
  const DWORD mainThread_;
  TCarrierTest carriesReporter_;
  mutable std::mutex lock_;  // guards the fields below and the events' state
  HANDLE mainEvent_ = nullptr;   // manual reset; reset while the main thread is held
  HANDLE otherEvent_ = nullptr;  // manual reset; reset while listed threads are held
  bool paused_ = false;
  DWORD callingThread_ = 0;
  DWORD sparedThread_ = 0;
  std::vector<std::uint32_t> listed_;
  bool firstPause_ = true;
  std::vector<THookedFunction> hooked_;  // stubs freed never: threads may run through them
};

}  // namespace ruvex
