#pragma once
// The thread registry of the process: a named block
// "RuvexExceptThreadNameBuf$<pid>" shared by every module that carries the
// reporter, with a mutex for the one freeze watchdog of the process and a
// mutex guarding the thread list.
#include <windows.h>

#include <cstdint>
#include <string>

#include "reporter/core/startup/ThreadList.h"

namespace ruvex {

struct TThreadRegistryBlock {
  std::uint32_t magic;
  std::uint32_t ownerProcess;
  HANDLE freezeMutex;
  HANDLE listMutex;
  TThreadList* list;
  LONG refCount;
  HANDLE mapping;
};

class TThreadRegistry {
 public:
  // Opens the process's registry or creates it; the creator registers the
  // first thread of the process as "main thread". Valid() tells success.
  explicit TThreadRegistry(DWORD fallbackMainThreadId);
  ~TThreadRegistry();
  TThreadRegistry(const TThreadRegistry&) = delete;
  TThreadRegistry& operator=(const TThreadRegistry&) = delete;

  bool Valid() const { return block_ != nullptr; }
  // The oldest entry's thread, else 0.
  DWORD OldestThreadId() const;
  void SuspendPurging(bool suspended);

  // Stores the name; with a debugger attached also raises the debugger's
  // thread-naming exception and swallows it.
  void NameThread(DWORD threadId, const std::u16string& name);
  // Handles the debugger's thread-naming exception raised by the program:
  // true when it was one (then it is recorded and to be discarded).
  bool RecordThreadNamingException(const EXCEPTION_RECORD& record);
  void RemoveThread(DWORD threadId);
  // Who created the thread; the registry opens its own handle to it.
  void SetCreator(DWORD threadId, DWORD creatorThreadId, std::uintptr_t creatorAddress,
                  const std::u16string& className);
  std::optional<TThreadEntry> Find(DWORD threadId) const;
  // Waits at most 50 ms for the registry.
  TThreadDescription Describe(DWORD threadId, bool force) const;
  HANDLE FreezeMutex() const { return block_ ? block_->freezeMutex : nullptr; }

 private:
  TThreadRegistryBlock* block_ = nullptr;
  void* view_ = nullptr;
};

// The first thread of this process in the system's thread list, else 0.
DWORD FirstThreadOfProcess();

}  // namespace ruvex
