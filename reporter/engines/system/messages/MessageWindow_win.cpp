#include <windows.h>

#include "common/win/NativeHandles_win.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "reporter/engines/system/messages/MessageWindow.h"
#include "reporter/engines/system/messages/MessageWindowName.h"

namespace ruvex {
namespace {

struct TWindowEntry {
  DWORD threadId = 0;
  HWND window = nullptr;
  ATOM classAtom = 0;
  TMessageHandlerList handlers;
};

// Cleared when the list is destroyed at the end of the process, so that a
// message arriving after that reaches no handler instead of freed memory.
std::atomic<bool> listAlive{false};

// The process-wide list; the windows go with their threads, the list with
// the process.
struct TWindowList {
  std::mutex mutex;
  std::vector<std::unique_ptr<TWindowEntry>> entries;

  TWindowList() { listAlive = true; }
  ~TWindowList() { listAlive = false; }

  TWindowEntry* ByWindow(HWND window) {
    for (auto& e : entries)
      if (e->window == window) return e.get();
    return nullptr;
  }
  TWindowEntry* ByThread(DWORD threadId) {
    for (auto& e : entries)
      if (e->threadId == threadId && IsWindow(e->window)) return e.get();
    return nullptr;
  }
};

TWindowList& Windows() {
  static TWindowList list;
  return list;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TMessage m{kelvane::FromHwnd(window), message, wParam, lParam, 0};
  m.result = DefWindowProcW(window, message, wParam, lParam);
  if (!MessageReachesHandlers(message) || !listAlive) return m.result;
  std::vector<TMessageHandlerList::TEntry> handlers;
  {
    TWindowList& list = Windows();
    std::lock_guard<std::mutex> lock(list.mutex);
    if (TWindowEntry* e = list.ByWindow(window)) handlers = e->handlers.HandlersFor(message);
  }
  // Called outside the lock: a handler may add or remove handlers.
  for (const auto& h : handlers) {
    if (h.handler) h.handler(m);
    if (h.handlerOO.method) h.handlerOO.method(h.handlerOO.object, m);
  }
  return m.result;
}

// The module of this code: the class is registered for it, so that two
// copies of this code in one process keep apart while using one name.
HINSTANCE OwnInstance() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&WindowProc), &module);
  return module ? module : GetModuleHandleW(nullptr);
}

std::wstring ClassName(DWORD threadId) {
  const std::u16string name = MessageWindowClassName(threadId);
  return std::wstring(name.begin(), name.end());
}

void DestroyEntry(const TWindowEntry& entry) {
  if (IsWindow(entry.window)) DestroyWindow(entry.window);
  UnregisterClassW(reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(entry.classAtom)), OwnInstance());
}

// A window goes with its thread, but its class would stay registered, and a
// later thread with the same id could not register it again. The thread's
// exit destroys both.
struct TThreadWindowGuard {
  bool armed = false;
  ~TThreadWindowGuard() {
    if (!armed || !listAlive) return;
    std::unique_ptr<TWindowEntry> own;
    {
      TWindowList& list = Windows();
      std::lock_guard<std::mutex> lock(list.mutex);
      const DWORD self = GetCurrentThreadId();
      for (auto it = list.entries.begin(); it != list.entries.end(); ++it)
        if ((*it)->threadId == self) {
          own = std::move(*it);
          list.entries.erase(it);
          break;
        }
    }
    // Outside the lock: destroying the window sends it messages.
    if (own) DestroyEntry(*own);
  }
};
thread_local TThreadWindowGuard threadWindowGuard;

// Entries whose window is gone (their thread ended without the guard, as
// when it was terminated); their classes would block the name.
void DropDeadEntries(TWindowList& list) {
  for (auto it = list.entries.begin(); it != list.entries.end();)
    if (!IsWindow((*it)->window)) {
      DestroyEntry(**it);
      it = list.entries.erase(it);
    } else {
      ++it;
    }
}

std::unique_ptr<TWindowEntry> CreateMessageWindow(DWORD threadId) {
  const HINSTANCE instance = OwnInstance();
  const std::wstring className = ClassName(threadId);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = className.c_str();
  ATOM atom = RegisterClassExW(&wc);
  if (!atom && GetLastError() == ERROR_CLASS_ALREADY_EXISTS && UnregisterClassW(className.c_str(), instance))
    atom = RegisterClassExW(&wc);
  if (!atom) return nullptr;
  const HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, className.c_str(), L"", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE,
                                      nullptr, instance, nullptr);
  if (!window) {
    UnregisterClassW(className.c_str(), instance);
    return nullptr;
  }
  auto entry = std::make_unique<TWindowEntry>();
  entry->threadId = threadId;
  entry->window = window;
  entry->classAtom = atom;
  return entry;
}

template <class Handler>
std::uint32_t AddHandler(kelvane::TWindowHandle window, std::uint32_t message, Handler handler) {
  std::uint32_t added = 0;
  {
    TWindowList& list = Windows();
    std::lock_guard<std::mutex> lock(list.mutex);
    TWindowEntry* e = list.ByWindow(kelvane::ToHwnd(window));
    if (!e) return 0;
    added = e->handlers.Add(message, handler);
  }
  if (added) AllowMessage(window, added);
  return added;
}

template <class Handler>
bool DelHandler(kelvane::TWindowHandle window, std::uint32_t message, Handler handler) {
  TWindowList& list = Windows();
  std::lock_guard<std::mutex> lock(list.mutex);
  TWindowEntry* e = list.ByWindow(kelvane::ToHwnd(window));
  return e && e->handlers.Remove(message, handler);
}

}  // namespace

kelvane::TWindowHandle ThreadMessageWindow(std::uint32_t threadId) {
  TWindowList& list = Windows();
  std::lock_guard<std::mutex> lock(list.mutex);
  if (TWindowEntry* e = list.ByThread(threadId)) return kelvane::FromHwnd(e->window);
  // A window belongs to the thread that creates it; only that thread may.
  if (threadId != GetCurrentThreadId()) return {};
  DropDeadEntries(list);
  std::unique_ptr<TWindowEntry> entry = CreateMessageWindow(threadId);
  if (!entry) return {};
  threadWindowGuard.armed = true;
  const HWND window = entry->window;
  list.entries.push_back(std::move(entry));
  return kelvane::FromHwnd(window);
}

std::uint32_t AddMsgHandler(kelvane::TWindowHandle window, std::uint32_t message, TMsgHandler handler) {
  return AddHandler(window, message, handler);
}

std::uint32_t AddMsgHandler(kelvane::TWindowHandle window, std::uint32_t message, TMsgHandlerOO handler) {
  return AddHandler(window, message, handler);
}

bool DelMsgHandler(kelvane::TWindowHandle window, std::uint32_t message, TMsgHandler handler) {
  return DelHandler(window, message, handler);
}

bool DelMsgHandler(kelvane::TWindowHandle window, std::uint32_t message, TMsgHandlerOO handler) {
  return DelHandler(window, message, handler);
}

bool AllowMessage(kelvane::TWindowHandle window, std::uint32_t message) {
  using FilterExFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  using FilterFn = BOOL(WINAPI*)(UINT, DWORD);
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (!user32) return false;
  constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW, and MSGFLT_ADD for the older call
  if (auto filterEx = reinterpret_cast<FilterExFn>(
          reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilterEx"))))
    return filterEx(kelvane::ToHwnd(window), message, kAllow, nullptr) != FALSE;
  if (auto filter = reinterpret_cast<FilterFn>(reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter"))))
    return filter(message, kAllow) != FALSE;
  return false;
}

}  // namespace ruvex
