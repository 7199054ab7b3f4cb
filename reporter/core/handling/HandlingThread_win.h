#pragma once
// The exception-handling thread: faulting threads hand their requests over
// through the ring and wait on the request's event and this thread's handle
// together; the thread runs the flow for each request in arrival order.
#include <windows.h>

#include <functional>

#include "common/win/WinHandle_win.h"
#include "reporter/core/flow/HandOver.h"

namespace ruvex {

using kelvane::TWinHandle;

inline constexpr char16_t kHandlingThreadName[] = u"RuvexExcept - HandleExceptionThread";
inline constexpr DWORD kStackOverflowCode = 0xC00000FD;

// The Windows waits: the main thread keeps its messages flowing while it
// waits (so that synchronised handlers can reach it), unless it waits for a
// stack overflow, which leaves no room for window procedures.
class TWin32HandlingSignals final : public IHandlingSignals {
 public:
  void SetHandlingThread(HANDLE thread) { thread_ = thread; }
  void SetMainThread(DWORD threadId) { mainThreadId_ = threadId; }
  TWaitOutcome WaitForRequest(const THandlingRequest& request) override;
  void RequestDone(const THandlingRequest& request) override;

 private:
  TWaitOutcome WaitPumpingMessages(HANDLE event);
  HANDLE thread_ = nullptr;
  DWORD mainThreadId_ = 0;
};

class THandlingThread {
 public:
  using THandleRequest = std::function<void(const THandlingRequest&)>;
  THandlingThread(THandleRequest handle, DWORD mainThreadId);
  // Asks the thread to end and waits for it (bounded).
  ~THandlingThread();
  THandlingThread(const THandlingThread&) = delete;
  THandlingThread& operator=(const THandlingThread&) = delete;

  bool Running() const { return static_cast<bool>(thread_); }
  DWORD ThreadId() const { return threadId_; }
  TCentralHandler& Central() { return central_; }

 private:
  static DWORD WINAPI Run(void* self);

  TRequestRing ring_;
  TWin32HandlingSignals signals_;
  TReportedMarks marks_;
  TCentralHandler central_{ring_, signals_, marks_};
  THandleRequest handle_;
  TWinHandle thread_;
  DWORD threadId_ = 0;
};

}  // namespace ruvex
