#include "reporter/core/hooks/pausing/ThreadPauser_win.h"

#include <tlhelp32.h>

#include <atomic>

#include "common/win/NativeHandles_win.h"
#include "common/win/WinHandle_win.h"
#include "reporter/core/hooks/pausing/PauseList.h"
#include "reporter/core/hooks/patches/CodeRedirect.h"
#include "reporter/engines/system/messages/MessageWindow.h"

namespace ruvex {
namespace {

using TGetMessage = BOOL(WINAPI*)(LPMSG, HWND, UINT, UINT);
using TPeekMessage = BOOL(WINAPI*)(LPMSG, HWND, UINT, UINT, UINT);

struct TMessageFunctions {
  TGetMessage getMessageA = nullptr, getMessageW = nullptr;
  TPeekMessage peekMessageA = nullptr, peekMessageW = nullptr;
};
// The stubs that run the original functions; built on the first pause and
// kept, as a thread may be inside one when the pause ends.
TMessageFunctions real;
// The redirected functions are called by the system without context.
std::atomic<TThreadPauser*> activePauser{nullptr};

void WaitIfPaused() {
  if (TThreadPauser* pauser = activePauser.load()) pauser->WaitIfPaused();
}

BOOL WINAPI HookGetMessageA(LPMSG m, HWND w, UINT first, UINT last) {
  WaitIfPaused();
  return real.getMessageA(m, w, first, last);
}
BOOL WINAPI HookGetMessageW(LPMSG m, HWND w, UINT first, UINT last) {
  WaitIfPaused();
  return real.getMessageW(m, w, first, last);
}
BOOL WINAPI HookPeekMessageA(LPMSG m, HWND w, UINT first, UINT last, UINT remove) {
  WaitIfPaused();
  return real.peekMessageA(m, w, first, last, remove);
}
BOOL WINAPI HookPeekMessageW(LPMSG m, HWND w, UINT first, UINT last, UINT remove) {
  WaitIfPaused();
  return real.peekMessageW(m, w, first, last, remove);
}

Address AddressOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

std::vector<std::uint32_t> ProcessThreads() {
  std::vector<std::uint32_t> threads;
  kelvane::TWinHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot) return threads;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Thread32First(snapshot.Get(), &entry); ok; ok = Thread32Next(snapshot.Get(), &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) threads.push_back(entry.th32ThreadID);
  return threads;
}

bool HasReporterResource(kelvane::TModuleHandle module) {
  return FindResourceW(kelvane::ToHmodule(module), L"EXCEPT", L"RUVEX") != nullptr;
}

}  // namespace

TThreadPauser::TThreadPauser(TThreadRegistry& registry, TPatchList& patches, DWORD mainThreadId,
                             TCarrierTest carriesReporter)
    : registry_(registry),
      patches_(patches),
      mainThread_(mainThreadId),
      carriesReporter_(carriesReporter ? std::move(carriesReporter) : TCarrierTest(HasReporterResource)) {}

TThreadPauser::~TThreadPauser() {
  ResumeThreads();
  TThreadPauser* self = this;
  activePauser.compare_exchange_strong(self, nullptr);
  std::lock_guard<std::mutex> hold(lock_);
  if (mainEvent_) CloseHandle(mainEvent_);
  if (otherEvent_) CloseHandle(otherEvent_);
}

// The functions' entries jump to the hooks. On the first pause each gets
// its stub; later pauses put the same jump back.
bool TThreadPauser::RedirectMessageFunctions(HMODULE user32) {
  const bool code64 = sizeof(void*) == 8;
  if (firstPause_) {
    firstPause_ = false;
    const struct {
      const char* name;
      const void* hook;
      void** original;
    } functions[] = {
        {"GetMessageA", reinterpret_cast<const void*>(&HookGetMessageA), reinterpret_cast<void**>(&real.getMessageA)},
        {"GetMessageW", reinterpret_cast<const void*>(&HookGetMessageW), reinterpret_cast<void**>(&real.getMessageW)},
        {"PeekMessageA", reinterpret_cast<const void*>(&HookPeekMessageA), reinterpret_cast<void**>(&real.peekMessageA)},
        {"PeekMessageW", reinterpret_cast<const void*>(&HookPeekMessageW), reinterpret_cast<void**>(&real.peekMessageW)},
    };
    for (const auto& f : functions) {
      const Address entry = AddressOf(reinterpret_cast<const void*>(GetProcAddress(user32, f.name)));
      if (!entry) continue;
      const std::optional<THookStub> stub = BuildHookStub(patches_.Memory(), entry, AddressOf(f.hook), code64);
      if (!stub) continue;  // a function that cannot be hooked goes unhooked
      // Set before the entry jumps to the hook, which calls through it.
      *f.original = reinterpret_cast<void*>(static_cast<std::uintptr_t>(stub->original));
      hooked_.push_back({entry, stub->entryJump});
    }
  }
  bool any = false;
  for (const THookedFunction& f : hooked_)
    any |= patches_.Apply(f.entry, f.entryJump) == TPatchResult::applied;
  return any;
}

bool TThreadPauser::CreatedByReporterModule(DWORD threadId) const {
  const auto entry = registry_.Find(threadId);
  if (!entry || !entry->creatorAddress) return false;
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(entry->creatorAddress), &module))
    return false;
  return carriesReporter_(kelvane::FromHmodule(module));
}

// A thread blocked in the real message retrieval comes round to the
// redirected one with the next message; this is that message.
void TThreadPauser::WakeThreads(const std::vector<std::uint32_t>& threads) const {
  if (const kelvane::TWindowHandle window = ThreadMessageWindow(mainThread_))
    PostMessageW(kelvane::ToHwnd(window), WM_NULL, 0, 0);
  else
    PostThreadMessageW(mainThread_, WM_NULL, 0, 0);
  for (const std::uint32_t t : threads) PostThreadMessageW(t, WM_NULL, 0, 0);
}

TActionResult TThreadPauser::PauseThreads(DWORD sparedThreadId) {
  std::vector<std::uint32_t> listed;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (paused_) return TActionResult::done;
    if (!mainEvent_) mainEvent_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    if (!otherEvent_) otherEvent_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    // Without user32 no thread of this process retrieves messages.
    if (!mainEvent_ || !otherEvent_ || !user32) return TActionResult::notDone;
    TThreadPauser* none = nullptr;
    if (!activePauser.compare_exchange_strong(none, this) && none != this) return TActionResult::notDone;

    TPauseCandidates candidates{ProcessThreads(), GetCurrentThreadId(), mainThread_, sparedThreadId,
                                [this](std::uint32_t t) { return CreatedByReporterModule(t); }};
    listed_ = PauseList(candidates);
    callingThread_ = GetCurrentThreadId();
    sparedThread_ = sparedThreadId;
    ResetEvent(mainEvent_);
    ResetEvent(otherEvent_);
    paused_ = true;

    if (!RedirectMessageFunctions(user32)) {
      paused_ = false;
      SetEvent(mainEvent_);
      SetEvent(otherEvent_);
      activePauser = nullptr;
      return TActionResult::notDone;
    }
    listed = listed_;
  }
  WakeThreads(listed);
  return TActionResult::done;
}

void TThreadPauser::ResumeThreads() {
  std::lock_guard<std::mutex> hold(lock_);
  if (!paused_) return;
  for (const THookedFunction& f : hooked_) patches_.Undo(f.entry);
  paused_ = false;
  listed_.clear();
  SetEvent(mainEvent_);
  SetEvent(otherEvent_);
}

void TThreadPauser::ResumeMainThread() {
  std::lock_guard<std::mutex> hold(lock_);
  if (paused_) SetEvent(mainEvent_);
}

void TThreadPauser::PauseMainThread() {
  std::lock_guard<std::mutex> hold(lock_);
  if (paused_) ResetEvent(mainEvent_);
}

bool TThreadPauser::Paused() const {
  std::lock_guard<std::mutex> hold(lock_);
  return paused_;
}

void TThreadPauser::WaitIfPaused() {
  HANDLE event = nullptr;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!paused_) return;
    switch (PauseWaitOf(GetCurrentThreadId(), mainThread_, sparedThread_, callingThread_, listed_)) {
      case TPauseWait::mainEvent: event = mainEvent_; break;
      case TPauseWait::otherEvent: event = otherEvent_; break;
      case TPauseWait::none: return;
    }
  }
  // The application reads its own last error after the call it made.
  const DWORD lastError = GetLastError();
  WaitForSingleObject(event, INFINITE);
  SetLastError(lastError);
}

}  // namespace ruvex
