#include "reporter/core/startup/ThreadRegistry_win.h"

#include <tlhelp32.h>

#include "common/text/Utf.h"
#include "reporter/engines/system/os/NamedObjects_win.h"

namespace ruvex {
namespace {

constexpr std::uint32_t kRegistryMagic = 0x52545231;
constexpr DWORD kDescribeWaitMs = 50;
constexpr DWORD kChangeWaitMs = 5000;

TThreadList::THandles RealHandles() {
  return {[](std::uintptr_t h) { return WaitForSingleObject(reinterpret_cast<HANDLE>(h), 0) == WAIT_OBJECT_0; },
          [](std::uintptr_t h) { CloseHandle(reinterpret_cast<HANDLE>(h)); }};
}

std::uintptr_t OpenForRegistry(DWORD threadId) {
  return reinterpret_cast<std::uintptr_t>(OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, threadId));
}

bool IsTrustedBlock(const TThreadRegistryBlock& block) {
  if (block.magic != kRegistryMagic || block.ownerProcess != GetCurrentProcessId() || !block.list) return false;
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(block.list, &info, sizeof info) != sizeof info || info.State != MEM_COMMIT ||
      info.Type != MEM_PRIVATE)
    return false;
  return block.list->magic == 0x52544C31;
}

LONG CALLBACK SwallowThreadNaming(EXCEPTION_POINTERS* p) {
  return p->ExceptionRecord->ExceptionCode == kThreadNamingException ? EXCEPTION_CONTINUE_EXECUTION
                                                                      : EXCEPTION_CONTINUE_SEARCH;
}

// Raised only with a debugger attached, which shows the name; swallowed.
void TellDebugger(DWORD threadId, const std::u16string& name) {
  if (!IsDebuggerPresent()) return;
  std::string utf8 = kelvane::Utf16ToUtf8(name);
  ULONG_PTR info[4] = {0x1000, reinterpret_cast<ULONG_PTR>(utf8.c_str()), threadId, 0};
  // SEH is not portable across the compilers used; a vectored handler
  // swallows the exception when no debugger takes it.
  PVOID handler = AddVectoredExceptionHandler(1, SwallowThreadNaming);
  RaiseException(kThreadNamingException, 0, 4, info);
  if (handler) RemoveVectoredExceptionHandler(handler);
}

}  // namespace

DWORD FirstThreadOfProcess() {
  TWinHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot) return 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Thread32First(snapshot.Get(), &entry); ok; ok = Thread32Next(snapshot.Get(), &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) return entry.th32ThreadID;
  return 0;
}

TThreadRegistry::TThreadRegistry(DWORD fallbackMainThreadId) {
  TNamedObjectSecurity security;
  std::wstring name = ProcessObjectName(L"RuvexExceptThreadNameBuf", GetCurrentProcessId());
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, security.Get(), PAGE_READWRITE, 0,
                                      sizeof(TThreadRegistryBlock), name.c_str());
  if (!mapping) return;
  bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  void* view = MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(TThreadRegistryBlock));
  if (!view) {
    CloseHandle(mapping);
    return;
  }
  auto* block = static_cast<TThreadRegistryBlock*>(view);
  if (existed) {
    // Another module of this process created it; its list mutex guards the count.
    CloseHandle(mapping);
    if (!IsTrustedBlock(*block)) {
      UnmapViewOfFile(view);
      return;
    }
    TMutexLock hold(block->listMutex, kChangeWaitMs);
    ++block->refCount;
  } else {
    block->magic = kRegistryMagic;
    block->ownerProcess = GetCurrentProcessId();
    block->freezeMutex = CreateMutexW(security.Get(), FALSE, nullptr);
    block->listMutex = CreateMutexW(security.Get(), FALSE, nullptr);
    block->list = new TThreadList(RealHandles());
    block->refCount = 1;
    block->mapping = mapping;
    DWORD mainThread = FirstThreadOfProcess();
    if (!mainThread) mainThread = fallbackMainThreadId;
    block->list->SuspendPurging(true);
    block->list->SetName(mainThread, u"main thread", OpenForRegistry(mainThread));
  }
  block_ = block;
  view_ = view;
}

TThreadRegistry::~TThreadRegistry() {
  if (!block_) return;
  bool last;
  {
    TMutexLock hold(block_->listMutex, kChangeWaitMs);
    last = --block_->refCount == 0;
    if (!last && hold.Locked()) block_->list->Remove(GetCurrentThreadId());
  }
  if (last) {
    delete block_->list;
    block_->list = nullptr;
    block_->magic = 0;
    CloseHandle(block_->freezeMutex);
    CloseHandle(block_->listMutex);
    HANDLE mapping = block_->mapping;
    UnmapViewOfFile(view_);
    CloseHandle(mapping);
  } else {
    UnmapViewOfFile(view_);
  }
}

DWORD TThreadRegistry::OldestThreadId() const {
  if (!block_) return 0;
  TMutexLock hold(block_->listMutex, kChangeWaitMs);
  if (!hold.Locked() || block_->list->Entries().empty()) return 0;
  return block_->list->Entries().front().threadId;
}

void TThreadRegistry::SuspendPurging(bool suspended) {
  if (!block_) return;
  TMutexLock hold(block_->listMutex, kChangeWaitMs);
  if (hold.Locked()) block_->list->SuspendPurging(suspended);
}

void TThreadRegistry::NameThread(DWORD threadId, const std::u16string& name) {
  if (block_) {
    TMutexLock hold(block_->listMutex, kChangeWaitMs);
    if (hold.Locked()) {
      bool known = block_->list->Find(threadId).has_value();
      block_->list->SetName(threadId, name, known ? 0 : OpenForRegistry(threadId));
    }
  }
  TellDebugger(threadId, name);
}

bool TThreadRegistry::RecordThreadNamingException(const EXCEPTION_RECORD& record) {
  std::uintptr_t info[EXCEPTION_MAXIMUM_PARAMETERS];
  for (DWORD i = 0; i < record.NumberParameters && i < EXCEPTION_MAXIMUM_PARAMETERS; ++i)
    info[i] = record.ExceptionInformation[i];
  auto readText = [](std::uintptr_t address) -> std::optional<std::string> {
    std::string text;
    for (char c; text.size() < 1024; text.push_back(c)) {
      SIZE_T done = 0;
      if (!ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const void*>(address + text.size()), &c, 1, &done) ||
          done != 1)
        return std::nullopt;
      if (c == '\0') break;
    }
    return text;
  };
  auto naming = ParseThreadNamingException(record.ExceptionCode, info, record.NumberParameters,
                                           GetCurrentThreadId(), readText);
  if (!naming) return false;
  if (block_) {
    TMutexLock hold(block_->listMutex, kChangeWaitMs);
    if (hold.Locked()) {
      bool known = block_->list->Find(naming->threadId).has_value();
      block_->list->SetName(naming->threadId, naming->name, known ? 0 : OpenForRegistry(naming->threadId));
    }
  }
  return true;
}

void TThreadRegistry::RemoveThread(DWORD threadId) {
  if (!block_) return;
  TMutexLock hold(block_->listMutex, kChangeWaitMs);
  if (hold.Locked()) block_->list->Remove(threadId);
}

void TThreadRegistry::SetCreator(DWORD threadId, DWORD creatorThreadId, std::uintptr_t creatorAddress,
                                 const std::u16string& className) {
  if (!block_) return;
  TMutexLock hold(block_->listMutex, kChangeWaitMs);
  if (!hold.Locked()) return;
  const bool known = block_->list->Find(threadId).has_value();
  block_->list->SetCreator(threadId, known ? 0 : OpenForRegistry(threadId), creatorThreadId, creatorAddress,
                           className);
}

std::optional<TThreadEntry> TThreadRegistry::Find(DWORD threadId) const {
  if (!block_) return std::nullopt;
  TMutexLock hold(block_->listMutex, kChangeWaitMs);
  if (!hold.Locked()) return std::nullopt;
  return block_->list->Find(threadId);
}

TThreadDescription TThreadRegistry::Describe(DWORD threadId, bool force) const {
  if (!block_) return DescribeThread(threadId, std::nullopt, false, force);
  TMutexLock hold(block_->listMutex, kDescribeWaitMs);
  if (!hold.Locked()) return DescribeThread(threadId, std::nullopt, false, force);
  return DescribeThread(threadId, block_->list->Find(threadId), true, force);
}

}  // namespace ruvex
