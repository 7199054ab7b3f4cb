#include "reporter/core/hooks/threads/ThreadCreationHooks_win.h"

#include <mutex>
#include <shared_mutex>
#include <vector>

#include "reporter/core/hooks/patches/CodeRedirect.h"
#include "reporter/core/hooks/patches/ImportHooks.h"
#include "reporter/engines/memory/ProcessMemory.h"

namespace ruvex {
namespace {

using TCreateThread = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD);
using TCreateRemoteThread = HANDLE(WINAPI*)(HANDLE, LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID,
                                            DWORD, LPDWORD);
using TCreateRemoteThreadEx = HANDLE(WINAPI*)(HANDLE, LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID,
                                              DWORD, LPPROC_THREAD_ATTRIBUTE_LIST, LPDWORD);
using TQueueUserWorkItem = BOOL(WINAPI*)(LPTHREAD_START_ROUTINE, PVOID, ULONG);

// The hooks are called by the system without context: this is theirs.
struct THookState {
  std::shared_mutex registryLock;  // the registry goes away only under the unique lock
  TThreadRegistry* registry = nullptr;
  TCreateThread createThread = nullptr;
  TCreateRemoteThread createRemoteThread = nullptr;
  TCreateRemoteThreadEx createRemoteThreadEx = nullptr;
  TQueueUserWorkItem queueUserWorkItem = nullptr;
  std::vector<HMODULE> systemModules;  // frames in these are not the creating code
  std::vector<Address> slots;    // import slots redirected
  std::vector<Address> entries;  // function entries redirected
};
// Set while a hook creates its thread: the system's own creation functions
// call each other, and a thread is wrapped and registered once.
thread_local bool insideHook = false;
THookState state;

template <class T>
T Resolve(const char* name) {
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(kernel32, name)));
}

bool IsSystemCode(void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCWSTR>(address), &module))
    return false;
  for (HMODULE m : state.systemModules)
    if (m == module) return true;
  return false;
}

// The creating code: the hook's caller, or, when that is the system or its
// C runtime passing the request on (a thread-start routine), the first
// frame above it outside them.
std::uintptr_t CreatingCodeAddress(void* caller) {
  if (!IsSystemCode(caller)) return reinterpret_cast<std::uintptr_t>(caller);
  void* frames[32] = {};
  const USHORT count = RtlCaptureStackBackTrace(0, 32, frames, nullptr);
  USHORT i = 0;
  while (i < count && frames[i] != caller) ++i;
  for (; i < count; ++i)
    if (!IsSystemCode(frames[i])) return reinterpret_cast<std::uintptr_t>(frames[i]);
  return reinterpret_cast<std::uintptr_t>(caller);
}

void Register(DWORD threadId, DWORD creatorId, std::uintptr_t creatorAddress) {
  std::shared_lock<std::shared_mutex> lock(state.registryLock);
  if (state.registry) state.registry->SetCreator(threadId, creatorId, creatorAddress, u"");
}

void Forget(DWORD threadId) {
  std::shared_lock<std::shared_mutex> lock(state.registryLock);
  if (state.registry) state.registry->RemoveThread(threadId);
}

struct TThreadStart {
  LPTHREAD_START_ROUTINE procedure;
  void* parameter;
};

// Calls the procedure; in 32-bit code it may have the wrong calling
// convention and leave its parameter on the stack or take too much, so the
// stack pointer is put back from a register the procedure must preserve.
DWORD CallProcedure(LPTHREAD_START_ROUTINE procedure, void* parameter) {
#if defined(__i386__)
  DWORD result;
  __asm__ volatile(
      "movl %%esp, %%esi\n\t"
      "pushl %2\n\t"
      "call *%1\n\t"
      "movl %%esi, %%esp\n\t"
      : "=a"(result)
      : "r"(procedure), "r"(parameter)
      : "esi", "ecx", "edx", "memory", "cc");
  return result;
#else
  return procedure(parameter);
#endif
}

DWORD WINAPI ThreadWrapper(void* startBlock) {
  const TThreadStart start = *static_cast<TThreadStart*>(startBlock);
  delete static_cast<TThreadStart*>(startBlock);
  const DWORD result = CallProcedure(start.procedure, start.parameter);
  Forget(GetCurrentThreadId());
  return result;
}

// Starts the real thread suspended, so that its entry is written before it
// can run and end; then lets it run unless the caller asked for suspended.
template <class Create>
HANDLE StartRegistered(void* caller, Create create, LPTHREAD_START_ROUTINE procedure, void* parameter, DWORD flags,
                       LPDWORD threadId) {
  if (insideHook) return create(procedure, parameter, flags, threadId);
  const DWORD creatorId = GetCurrentThreadId();
  const std::uintptr_t creatorAddress = CreatingCodeAddress(caller);
  auto* start = new TThreadStart{procedure, parameter};
  DWORD id = 0;
  insideHook = true;
  const HANDLE thread = create(ThreadWrapper, start, flags | CREATE_SUSPENDED, &id);
  insideHook = false;
  if (!thread) {
    const DWORD error = GetLastError();
    delete start;
    SetLastError(error);
    return nullptr;
  }
  Register(id, creatorId, creatorAddress);
  if (!(flags & CREATE_SUSPENDED)) ResumeThread(thread);
  if (threadId) *threadId = id;
  return thread;
}

bool IsThisProcess(HANDLE process) {
  return process == GetCurrentProcess() || GetProcessId(process) == GetCurrentProcessId();
}

HANDLE WINAPI HookCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE procedure,
                               LPVOID parameter, DWORD flags, LPDWORD threadId) {
  return StartRegistered(
      __builtin_return_address(0), [&](LPTHREAD_START_ROUTINE p, void* param, DWORD f, LPDWORD id) {
        return state.createThread(security, stack, p, param, f, id);
      },
      procedure, parameter, flags, threadId);
}

// A thread in another process cannot run a wrapper that lives here.
HANDLE WINAPI HookCreateRemoteThread(HANDLE process, LPSECURITY_ATTRIBUTES security, SIZE_T stack,
                                     LPTHREAD_START_ROUTINE procedure, LPVOID parameter, DWORD flags,
                                     LPDWORD threadId) {
  if (!IsThisProcess(process))
    return state.createRemoteThread(process, security, stack, procedure, parameter, flags, threadId);
  return StartRegistered(
      __builtin_return_address(0), [&](LPTHREAD_START_ROUTINE p, void* param, DWORD f, LPDWORD id) {
        return state.createRemoteThread(process, security, stack, p, param, f, id);
      },
      procedure, parameter, flags, threadId);
}

HANDLE WINAPI HookCreateRemoteThreadEx(HANDLE process, LPSECURITY_ATTRIBUTES security, SIZE_T stack,
                                       LPTHREAD_START_ROUTINE procedure, LPVOID parameter, DWORD flags,
                                       LPPROC_THREAD_ATTRIBUTE_LIST attributes, LPDWORD threadId) {
  if (!IsThisProcess(process))
    return state.createRemoteThreadEx(process, security, stack, procedure, parameter, flags, attributes, threadId);
  return StartRegistered(
      __builtin_return_address(0), [&](LPTHREAD_START_ROUTINE p, void* param, DWORD f, LPDWORD id) {
        return state.createRemoteThreadEx(process, security, stack, p, param, f, attributes, id);
      },
      procedure, parameter, flags, threadId);
}

struct TWorkItem {
  LPTHREAD_START_ROUTINE function;
  void* context;
  DWORD creatorId;
  std::uintptr_t creatorAddress;
};

// A work item runs on a pool thread: while it runs, that thread is the
// item's creator's.
DWORD WINAPI WorkItemWrapper(void* itemBlock) {
  const TWorkItem item = *static_cast<TWorkItem*>(itemBlock);
  delete static_cast<TWorkItem*>(itemBlock);
  Register(GetCurrentThreadId(), item.creatorId, item.creatorAddress);
  const DWORD result = CallProcedure(item.function, item.context);
  Forget(GetCurrentThreadId());
  return result;
}

BOOL WINAPI HookQueueUserWorkItem(LPTHREAD_START_ROUTINE function, PVOID context, ULONG flags) {
  auto* item = new TWorkItem{function, context, GetCurrentThreadId(),
                               CreatingCodeAddress(__builtin_return_address(0))};
  if (state.queueUserWorkItem(WorkItemWrapper, item, flags)) return TRUE;
  const DWORD error = GetLastError();
  delete item;
  SetLastError(error);
  return FALSE;
}

Address AddressOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// Makes the function at `*real` jump to `hook` and points `*real` at a stub
// that runs the original. The stub is kept for good: a thread may be
// running through it when the hook is taken back.
bool RedirectEntry(TPatchList& patches, void** real, Address hook) {
  const Address entry = AddressOf(*real);
  const std::optional<THookStub> stub = BuildHookStub(patches.Memory(), entry, hook, sizeof(void*) == 8);
  if (!stub) return false;
  void* const original = *real;
  // Set before the entry jumps to the hook, which calls through it.
  *real = reinterpret_cast<void*>(static_cast<std::uintptr_t>(stub->original));
  if (patches.Apply(entry, stub->entryJump) != TPatchResult::applied) {
    *real = original;
    patches.Memory().FreeCode(stub->block);
    return false;
  }
  state.entries.push_back(entry);
  return true;
}

}  // namespace

bool InstallThreadCreationHooks(TThreadRegistry& registry, TPatchList& patches) {
  {
    std::unique_lock<std::shared_mutex> lock(state.registryLock);
    state.registry = &registry;
  }
  state.createThread = Resolve<TCreateThread>("CreateThread");
  state.createRemoteThread = Resolve<TCreateRemoteThread>("CreateRemoteThread");
  state.createRemoteThreadEx = Resolve<TCreateRemoteThreadEx>("CreateRemoteThreadEx");
  state.queueUserWorkItem = Resolve<TQueueUserWorkItem>("QueueUserWorkItem");
  state.systemModules.clear();
  for (const wchar_t* name : {L"ntdll.dll", L"kernel32.dll", L"kernelbase.dll", L"msvcrt.dll", L"ucrtbase.dll"})
    if (HMODULE m = GetModuleHandleW(name)) state.systemModules.push_back(m);

  const struct {
    const char* name;
    void** real;
    const void* hook;
  } hooks[] = {
      {"CreateThread", reinterpret_cast<void**>(&state.createThread), reinterpret_cast<const void*>(&HookCreateThread)},
      {"CreateRemoteThread", reinterpret_cast<void**>(&state.createRemoteThread),
       reinterpret_cast<const void*>(&HookCreateRemoteThread)},
      {"CreateRemoteThreadEx", reinterpret_cast<void**>(&state.createRemoteThreadEx),
       reinterpret_cast<const void*>(&HookCreateRemoteThreadEx)},
      {"QueueUserWorkItem", reinterpret_cast<void**>(&state.queueUserWorkItem),
       reinterpret_cast<const void*>(&HookQueueUserWorkItem)},
  };
  // The system's own modules pass calls on between each other (kernel32's
  // function may call kernelbase's through its imports); redirecting those
  // would bring the hook's call of the real function back to the hook.
  std::vector<ModuleEntry> modules = TProcessMemory().Modules();
  std::erase_if(modules, [](const ModuleEntry& m) {
    for (const wchar_t* name : {L"ntdll.dll", L"kernel32.dll", L"kernelbase.dll"})
      if (m.base == reinterpret_cast<std::uintptr_t>(GetModuleHandleW(name))) return true;
    return false;
  });
  bool any = false;
  for (const auto& h : hooks) {
    if (!*h.real) continue;  // an old system without the function
    if (RedirectEntry(patches, h.real, AddressOf(h.hook))) {
      any = true;
      continue;
    }
    // The function's first bytes cannot move: its importers are redirected
    // instead (modules loaded later and callers through GetProcAddress then
    // go unseen).
    for (const char* dll : {"kernel32.dll", "kernelbase.dll"}) {
      const std::vector<Address> slots =
          HookImports(patches, modules, TImportHook{dll, h.name, AddressOf(*h.real), AddressOf(h.hook)});
      state.slots.insert(state.slots.end(), slots.begin(), slots.end());
      any |= !slots.empty();
    }
  }
  return any;
}

void RemoveThreadCreationHooks(TPatchList& patches) {
  UnhookImports(patches, state.slots);
  state.slots.clear();
  for (auto it = state.entries.rbegin(); it != state.entries.rend(); ++it) patches.Undo(*it);
  state.entries.clear();
  std::unique_lock<std::shared_mutex> lock(state.registryLock);
  state.registry = nullptr;
}

}  // namespace ruvex
