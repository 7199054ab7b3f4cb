#include "reporter/core/threads/ThreadAccess_win.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>

#include "common/win/WinHandle_win.h"

namespace ruvex {
namespace {

using kelvane::TWinHandle;

Address ToAddress(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

constexpr DWORD kQueryAccess = THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION;

// Only ids of this process's own threads are opened: an id from elsewhere
// could name a thread of another process once its own thread has ended.
TWinHandle OpenOwnThread(DWORD threadId) {
  TWinHandle thread(OpenThread(kQueryAccess, FALSE, threadId));
  if (!thread) thread = TWinHandle(OpenThread(THREAD_GET_CONTEXT, FALSE, threadId));
  if (thread && GetProcessIdOfThread(thread.Get()) != GetCurrentProcessId()) thread.Reset();
  return thread;
}

// The stack base from the thread's information block.
Address StackBaseOf(HANDLE thread) {
  using TQuery = NTSTATUS(NTAPI*)(HANDLE, THREADINFOCLASS, PVOID, ULONG, PULONG);
  static const auto query = reinterpret_cast<TQuery>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
  struct TBasicInformation {
    NTSTATUS exitStatus;
    PVOID tebBaseAddress;
    CLIENT_ID clientId;
    ULONG_PTR affinityMask;
    LONG priority, basePriority;
  } info{};
  if (!query || query(thread, static_cast<THREADINFOCLASS>(0), &info, sizeof info, nullptr) != 0 ||
      !info.tebBaseAddress)
    return 0;
  NT_TIB tib{};
  SIZE_T read = 0;
  if (!ReadProcessMemory(GetCurrentProcess(), info.tebBaseAddress, &tib, sizeof tib, &read) || read != sizeof tib)
    return 0;
  return ToAddress(tib.StackBase);
}

Address RegionEnd(Address address) {
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address)), &info, sizeof info) == 0)
    return 0;
  return ToAddress(info.BaseAddress) + info.RegionSize;
}

}  // namespace

TThreadContext ContextFromWin(const CONTEXT& c) {
  TThreadContext t;
  t.pointerSize = sizeof(void*);
#ifdef _WIN64
  t.ax = c.Rax, t.bx = c.Rbx, t.cx = c.Rcx, t.dx = c.Rdx, t.si = c.Rsi, t.di = c.Rdi;
  t.ip = c.Rip, t.sp = c.Rsp, t.bp = c.Rbp;
  t.r8to15 = {c.R8, c.R9, c.R10, c.R11, c.R12, c.R13, c.R14, c.R15};
#else
  t.ax = c.Eax, t.bx = c.Ebx, t.cx = c.Ecx, t.dx = c.Edx, t.si = c.Esi, t.di = c.Edi;
  t.ip = c.Eip, t.sp = c.Esp, t.bp = c.Ebp;
#endif
  return t;
}

TWinThreadAccess::TWinThreadAccess(const TThreadRegistry* registry, DWORD mainThreadId)
    : registry_(registry), mainThreadId_(mainThreadId) {}

std::vector<std::uint32_t> TWinThreadAccess::ThreadIds() {
  std::vector<std::uint32_t> ids;
  TWinHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot) return ids;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  const DWORD self = GetCurrentProcessId();
  for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry))
    if (entry.th32OwnerProcessID == self) ids.push_back(entry.th32ThreadID);
  return ids;
}

std::uint32_t TWinThreadAccess::MainThreadId() {
  if (mainThreadId_) return mainThreadId_;
  if (registry_)
    if (const DWORD oldest = registry_->OldestThreadId()) return oldest;
  return FirstThreadOfProcess();
}

std::optional<TThreadState> TWinThreadAccess::QueryThreadState(std::uint32_t threadId) {
  const std::vector<std::uint32_t> own = ThreadIds();
  if (std::find(own.begin(), own.end(), threadId) == own.end()) return std::nullopt;
  const bool current = threadId == GetCurrentThreadId();
  TWinHandle thread;
  if (current) {
    HANDLE duplicate = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &duplicate, 0, FALSE,
                        DUPLICATE_SAME_ACCESS))
      thread = TWinHandle(duplicate);
  } else {
    thread = OpenOwnThread(threadId);
  }
  if (!thread) return std::nullopt;

  CONTEXT context{};  // aligned as the system asks by its type
  context.ContextFlags = CONTEXT_FULL;
  TThreadState state;
  bool read = false;
  if (current) {
    RtlCaptureContext(&context);
    read = true;
  } else {
    const DWORD previous = SuspendThread(thread.Get());
    read = GetThreadContext(thread.Get(), &context) != 0;
    if (previous != static_cast<DWORD>(-1)) {
      ResumeThread(thread.Get());
      state.suspended = previous > 0;
    }
  }
  if (!read) return std::nullopt;
  state.context = ContextFromWin(context);
  const int priority = GetThreadPriority(thread.Get());
  state.priority = priority == THREAD_PRIORITY_ERROR_RETURN ? 0 : priority;
  state.stackBottom = state.context.sp;
  state.stackTop = StackBaseOf(thread.Get());
  if (state.stackTop <= state.stackBottom) state.stackTop = RegionEnd(state.stackBottom);
  return state;
}

TThreadDescription TWinThreadAccess::Describe(std::uint32_t threadId, bool force) {
  if (registry_) return registry_->Describe(threadId, force);
  return DescribeThread(threadId, std::nullopt, false, force);
}

}  // namespace ruvex
