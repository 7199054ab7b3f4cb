#include "reporter/core/freeze/FreezeWatchdog_win.h"

#include "common/win/NativeHandles_win.h"
#include "reporter/engines/system/messages/MessageWindow.h"

namespace ruvex {

namespace {
constexpr WPARAM kAnswerParam = 777;
}  // namespace

class TFreezeWatchdog::TPort : public IWatchdogPort {
 public:
  explicit TPort(TFreezeWatchdog& owner) : w_(owner) {}

  bool AcquireTurn() override {
    if (!w_.config_.watchdogMutex) return true;
    HANDLE both[] = {w_.stopEvent_.Get(), w_.config_.watchdogMutex};
    DWORD r = WaitForMultipleObjects(2, both, FALSE, INFINITE);
    // The mutex of a watchdog whose thread died is ours all the same.
    holdsMutex_ = r == WAIT_OBJECT_0 + 1 || r == WAIT_ABANDONED_0 + 1;
    return holdsMutex_;
  }
  void ReleaseTurn() override {
    if (holdsMutex_) ReleaseMutex(w_.config_.watchdogMutex);
    holdsMutex_ = false;
  }
  bool WaitWhilePaused() override {
    HANDLE both[] = {w_.stopEvent_.Get(), w_.pauseGate_.Get()};
    return WaitForMultipleObjects(2, both, FALSE, INFINITE) == WAIT_OBJECT_0 + 1;
  }
  void PostProbe() override { PostMessageW(w_.config_.mainWindow, w_.probeMessage_, 0, 0); }
  bool WaitForStop(std::uint32_t ms) override { return WaitForSingleObject(w_.stopEvent_.Get(), ms) == WAIT_OBJECT_0; }
  bool TakeAnswers() override {
    bool answered = false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      if (!msg.hwnd && msg.message == WM_NULL && msg.wParam == kAnswerParam &&
          msg.lParam == static_cast<LPARAM>(kAnswerParam))
        answered = true;
    return answered;
  }
  void ReportFreeze() override {
    if (w_.config_.reportFreeze) w_.config_.reportFreeze();
  }
  bool TakeMissReset() override { return w_.missReset_.exchange(false); }

 private:
  TFreezeWatchdog& w_;
  bool holdsMutex_ = false;
};

bool TFreezeWatchdog::Start(TFreezeWatchdogConfig config) {
  if (thread_ || !config.mainWindow) return false;
  config_ = std::move(config);
  stopEvent_ = kelvane::TWinHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  pauseGate_ = kelvane::TWinHandle(CreateEventW(nullptr, TRUE, TRUE, nullptr));
  if (!stopEvent_ || !pauseGate_) return false;
  probeMessage_ = AddMsgHandler(kelvane::FromHwnd(config_.mainWindow), 0, TMsgHandlerOO{this, &Answer});
  if (!probeMessage_) return false;
  thread_ = kelvane::TWinHandle(CreateThread(nullptr, 0, &ThreadMain, this, CREATE_SUSPENDED, &threadId_));
  if (!thread_) {
    DelMsgHandler(kelvane::FromHwnd(config_.mainWindow), probeMessage_, TMsgHandlerOO{this, &Answer});
    return false;
  }
  SetThreadPriority(thread_.Get(), THREAD_PRIORITY_HIGHEST);
  ResumeThread(thread_.Get());
  return true;
}

DWORD WINAPI TFreezeWatchdog::ThreadMain(void* self) {
  auto& w = *static_cast<TFreezeWatchdog*>(self);
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue the answers go to
  TPort port(w);
  RunWatchdog(port, FreezeTimeoutMs(w.config_.freezeTimeoutSeconds));
  return 0;
}

void TFreezeWatchdog::Answer(void* self, TMessage& message) {
  auto& w = *static_cast<TFreezeWatchdog*>(self);
  if (message.wParam)
    PostMessageW(reinterpret_cast<HWND>(message.wParam), WM_NULL, kAnswerParam, kAnswerParam);
  else
    PostThreadMessageW(w.threadId_, WM_NULL, kAnswerParam, kAnswerParam);
  message.result = kAnswerParam;
}

void TFreezeWatchdog::Pause(bool pause) {
  if (!thread_ || GetCurrentThreadId() == threadId_) return;
  std::lock_guard<std::mutex> hold(pauses_.Lock());
  missReset_ = true;
  if (pause ? pauses_.Pause() : pauses_.Resume()) (pause ? ResetEvent : SetEvent)(pauseGate_.Get());
}

void TFreezeWatchdog::Stop() {
  if (!thread_) return;
  SetEvent(stopEvent_.Get());
  {
    std::lock_guard<std::mutex> hold(pauses_.Lock());
    pauses_.Reset();
    SetEvent(pauseGate_.Get());
  }
  DelMsgHandler(kelvane::FromHwnd(config_.mainWindow), probeMessage_, TMsgHandlerOO{this, &Answer});
  if (WaitForSingleObject(thread_.Get(), 500) != WAIT_OBJECT_0) {
    TerminateThread(thread_.Get(), 1);
    WaitForSingleObject(thread_.Get(), 500);
  }
  thread_.Reset();
  threadId_ = 0;
  stopEvent_.Reset();
  pauseGate_.Reset();
}

}  // namespace ruvex
