#include "reporter/core/handling/MainThreadChannel_win.h"

#include <memory>
#include <mutex>

namespace ruvex {
namespace {

constexpr wchar_t kWindowClass[] = L"RuvexExceptMainThreadWindow";
constexpr UINT kFiringMessage = WM_APP + 0x2A7;

// One synchronised call, shared by the sender and the main thread: a
// message that arrives after the sender gave up must not run the pass (its
// record is gone by then), and a pass already running is waited for.
struct TSyncCall {
  std::mutex lock;
  bool started = false, abandoned = false;
  const std::function<void()>* pass = nullptr;
  std::function<void(bool)>* inHandlers = nullptr;
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~TSyncCall() {
    if (done) CloseHandle(done);
  }
};

void RunCall(const std::shared_ptr<TSyncCall>& call) {
  {
    std::lock_guard<std::mutex> guard(call->lock);
    if (call->abandoned) return;
    call->started = true;
  }
  if (*call->inHandlers) (*call->inHandlers)(true);
  try {
    (*call->pass)();
  } catch (...) {
    // A handler's fault stays in the reporter.
  }
  if (*call->inHandlers) (*call->inHandlers)(false);
  SetEvent(call->done);
}

}  // namespace

TWin32MainThreadChannel::TWin32MainThreadChannel(std::function<void(bool)> inHandlers)
    : inHandlers_(std::move(inHandlers)) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &TWin32MainThreadChannel::WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassW(&windowClass);
  window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
}

TWin32MainThreadChannel::~TWin32MainThreadChannel() {
  if (window_) DestroyWindow(window_);
}

LRESULT CALLBACK TWin32MainThreadChannel::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kFiringMessage) return DefWindowProcW(window, message, wParam, lParam);
  if (wParam) {
    std::unique_ptr<std::shared_ptr<TSyncCall>> holder(reinterpret_cast<std::shared_ptr<TSyncCall>*>(wParam));
    RunCall(*holder);
  }
  return kFiringAnswer;
}

bool TWin32MainThreadChannel::Probe(std::chrono::milliseconds timeout) {
  DWORD_PTR answer = 0;
  return SendMessageTimeoutW(window_, kFiringMessage, 0, 0, SMTO_NORMAL, static_cast<UINT>(timeout.count()),
                             &answer) != 0 &&
         answer == kFiringAnswer;
}

bool TWin32MainThreadChannel::CallSynchronised(const std::function<void()>& pass, std::chrono::milliseconds timeout) {
  auto call = std::make_shared<TSyncCall>();
  call->pass = &pass;
  call->inHandlers = &inHandlers_;
  // The window procedure owns this copy once the message arrives.
  auto* holder = new std::shared_ptr<TSyncCall>(call);
  DWORD_PTR answer = 0;
  if (SendMessageTimeoutW(window_, kFiringMessage, reinterpret_cast<WPARAM>(holder), 0, SMTO_NORMAL,
                          static_cast<UINT>(timeout.count()), &answer) != 0)
    return answer == kFiringAnswer;
  std::unique_lock<std::mutex> guard(call->lock);
  if (!call->started) {
    // The message may still arrive later; it finds the call abandoned.
    call->abandoned = true;
    return false;
  }
  guard.unlock();
  WaitForSingleObject(call->done, INFINITE);
  return true;
}

}  // namespace ruvex
