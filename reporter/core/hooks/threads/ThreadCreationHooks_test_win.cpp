// Thread-creation hooks on the real system (runs under wine64).
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "reporter/core/hooks/patches/ImportSlots.h"
#include "reporter/core/hooks/threads/ThreadCreationHooks_win.h"
#include "reporter/engines/memory/ProcessMemory.h"

namespace ruvex {
namespace {

struct TGate {
  HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD ranOn = 0;
  ~TGate() {
    CloseHandle(started);
    CloseHandle(go);
  }
};

DWORD WINAPI WaitAtGate(void* p) {
  auto* gate = static_cast<TGate*>(p);
  gate->ranOn = GetCurrentThreadId();
  SetEvent(gate->started);
  WaitForSingleObject(gate->go, 5000);
  return 7;
}

// The creating code whose address the registry must name.
__attribute__((noinline)) HANDLE CreateFromHere(TGate& gate, DWORD flags, DWORD& id) {
  HANDLE h = CreateThread(nullptr, 0, WaitAtGate, &gate, flags, &id);
  __asm__ volatile("" ::: "memory");  // keeps the call from becoming a tail jump
  return h;
}
__attribute__((noinline)) void AfterCreateFromHere() { __asm__ volatile(""); }

std::vector<std::pair<Address, Address>> ExeSlots(const char* function) {
  TProcessMemory memory;
  std::vector<std::pair<Address, Address>> slots;
  for (Address slot : FindImportSlots(memory, reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr)),
                                      "kernel32.dll", function)) {
    Address value = 0;
    memory.Read(slot, &value, sizeof(void*));
    slots.push_back({slot, value});
  }
  return slots;
}

std::vector<std::uint8_t> EntryBytes(const char* function) {
  const auto* entry = reinterpret_cast<const std::uint8_t*>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), function)));
  return std::vector<std::uint8_t>(entry, entry + 16);
}

TEST(ThreadCreationHooks, RegistryKnowsCreatorWhileTheThreadRuns) {
  TThreadRegistry registry(GetCurrentThreadId());
  ASSERT_TRUE(registry.Valid());
  auto memory = CreateProcessMemoryPatcher();
  TPatchList patches(*memory);
  const auto before = ExeSlots("CreateThread");
  ASSERT_FALSE(before.empty());
  // The loader resolved the slot to the function the system names.
  EXPECT_EQ(before[0].second,
            reinterpret_cast<std::uintptr_t>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateThread")));

  const auto entryBefore = EntryBytes("CreateThread");
  ASSERT_TRUE(InstallThreadCreationHooks(registry, patches));
  // The function itself jumps to the hook, or, where its first bytes cannot
  // move, the importers' slots do.
  EXPECT_TRUE(EntryBytes("CreateThread") != entryBefore || ExeSlots("CreateThread") != before);

  TGate gate;
  DWORD id = 0;
  HANDLE thread = CreateFromHere(gate, 0, id);
  ASSERT_TRUE(thread);
  ASSERT_EQ(WaitForSingleObject(gate.started, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(gate.ranOn, id);
  auto entry = registry.Find(id);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->creatorThreadId, GetCurrentThreadId());
  const auto here = reinterpret_cast<std::uintptr_t>(&CreateFromHere);
  const auto next = reinterpret_cast<std::uintptr_t>(&AfterCreateFromHere);
  EXPECT_GT(entry->creatorAddress, here);
  EXPECT_LT(entry->creatorAddress, next > here ? next : here + 0x100);
  EXPECT_EQ(registry.Describe(id, false).creatorThreadId, GetCurrentThreadId());

  SetEvent(gate.go);
  ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 7u);  // the procedure's result comes through the wrapper
  CloseHandle(thread);
  EXPECT_FALSE(registry.Find(id));

  RemoveThreadCreationHooks(patches);
  EXPECT_EQ(ExeSlots("CreateThread"), before);
  EXPECT_EQ(EntryBytes("CreateThread"), entryBefore);  // byte for byte
  EXPECT_TRUE(patches.Patches().empty());
}

TEST(ThreadCreationHooks, SuspendedThreadsStaySuspendedAndWorkItemsAreKnown) {
  TThreadRegistry registry(GetCurrentThreadId());
  auto memory = CreateProcessMemoryPatcher();
  TPatchList patches(*memory);
  ASSERT_TRUE(InstallThreadCreationHooks(registry, patches));

  TGate gate;
  DWORD id = 0;
  HANDLE thread = CreateFromHere(gate, CREATE_SUSPENDED, id);
  ASSERT_TRUE(thread);
  EXPECT_EQ(WaitForSingleObject(gate.started, 200), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(registry.Find(id));
  ResumeThread(thread);
  EXPECT_EQ(WaitForSingleObject(gate.started, 5000), WAIT_OBJECT_0);
  SetEvent(gate.go);
  WaitForSingleObject(thread, 5000);
  CloseHandle(thread);

  // A work item's pool thread carries its creator while the item runs.
  struct TItem {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    TThreadRegistry* registry;
    DWORD creatorSeen = 0;
  } item;
  item.registry = &registry;
  ASSERT_TRUE(QueueUserWorkItem(
      [](void* p) -> DWORD {
        auto* it = static_cast<TItem*>(p);
        if (auto e = it->registry->Find(GetCurrentThreadId())) it->creatorSeen = e->creatorThreadId;
        SetEvent(it->done);
        return 0;
      },
      &item, WT_EXECUTEDEFAULT));
  ASSERT_EQ(WaitForSingleObject(item.done, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(item.creatorSeen, GetCurrentThreadId());
  CloseHandle(item.done);

  // Threads of the C++ library come through the C runtime's own import slots.
  DWORD libraryThread = 0, libraryCreator = 0;
  std::thread([&] {
    libraryThread = GetCurrentThreadId();
    if (auto e = registry.Find(libraryThread)) libraryCreator = e->creatorThreadId;
  }).join();
  EXPECT_EQ(libraryCreator, GetCurrentThreadId());
  RemoveThreadCreationHooks(patches);
}

}  // namespace
}  // namespace ruvex
