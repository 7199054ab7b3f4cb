#include "reporter/core/handling/HandlingThread_win.h"

#include <cstring>

#include "common/win/NativeHandles_win.h"

namespace ruvex {
namespace {

constexpr DWORD kStopWaitMs = 5000;

DWORD ExceptionCodeOf(const THandlingRequest& request) {
  DWORD code = 0;
  std::memcpy(&code, request.exceptionRecord.data(), sizeof code);
  return code;
}

HANDLE EventOf(const THandlingRequest& request) { return kelvane::ToHandle(request.completionEvent); }

}  // namespace

TWaitOutcome TWin32HandlingSignals::WaitForRequest(const THandlingRequest& request) {
  HANDLE event = EventOf(request);
  if (GetCurrentThreadId() == mainThreadId_ && ExceptionCodeOf(request) != kStackOverflowCode)
    return WaitPumpingMessages(event);
  const HANDLE handles[2] = {event, thread_};
  const DWORD waited = WaitForMultipleObjects(thread_ ? 2 : 1, handles, FALSE, INFINITE);
  return waited == WAIT_OBJECT_0 ? TWaitOutcome::requestDone : TWaitOutcome::handlingThreadEnded;
}

TWaitOutcome TWin32HandlingSignals::WaitPumpingMessages(HANDLE event) {
  const HANDLE handles[2] = {event, thread_};
  const DWORD count = thread_ ? 2 : 1;
  // The request and what it points to live on this thread's stack, so the
  // wait never ends early: an application's request to end is kept and
  // posted again once the request is done.
  bool quit = false;
  WPARAM quitCode = 0;
  TWaitOutcome outcome = TWaitOutcome::handlingThreadEnded;
  for (;;) {
    const DWORD waited = MsgWaitForMultipleObjects(count, handles, FALSE, INFINITE, QS_ALLINPUT);
    if (waited == WAIT_OBJECT_0) {
      outcome = TWaitOutcome::requestDone;
      break;
    }
    if (waited != WAIT_OBJECT_0 + count) break;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quit = true;
        quitCode = message.wParam;
        continue;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
  return outcome;
}

void TWin32HandlingSignals::RequestDone(const THandlingRequest& request) {
  SetEvent(EventOf(request));
  PostThreadMessageW(request.threadId, WM_NULL, 0, 0);
}

THandlingThread::THandlingThread(THandleRequest handle, DWORD mainThreadId) : handle_(std::move(handle)) {
  signals_.SetMainThread(mainThreadId);
  central_.SetMainThread(mainThreadId);
  thread_ = TWinHandle(CreateThread(nullptr, 0, &THandlingThread::Run, this, CREATE_SUSPENDED, &threadId_));
  if (!thread_) return;
  signals_.SetHandlingThread(thread_.Get());
  central_.SetHandlingThread(threadId_);
  SetThreadPriority(thread_.Get(), THREAD_PRIORITY_HIGHEST);
  ResumeThread(thread_.Get());
}

THandlingThread::~THandlingThread() {
  if (!thread_) return;
  // A request without an event asks the thread to end.
  if (ring_.Write(THandlingRequest{})) WaitForSingleObject(thread_.Get(), kStopWaitMs);
}

DWORD WINAPI THandlingThread::Run(void* self) {
  auto& handling = *static_cast<THandlingThread*>(self);
  RunHandlingLoop(handling.ring_, handling.signals_, handling.handle_);
  return 0;
}

}  // namespace ruvex
