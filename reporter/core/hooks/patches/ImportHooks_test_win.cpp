// Redirecting a module's import slots in the running process (wine64).
#include <windows.h>

#include <gtest/gtest.h>

#include "reporter/core/hooks/patches/ImportHooks.h"
#include "reporter/core/hooks/patches/ImportSlots.h"
#include "reporter/engines/memory/ProcessMemory.h"

namespace ruvex {
namespace {

DWORD WINAPI FixedTicks() { return 42; }

// Reads the slot on every call, as any call site that has not kept it does.
__attribute__((noinline)) DWORD TicksThroughTheImport() { return GetTickCount(); }

TEST(ImportHooks, CallsThroughTheSlotReachTheHookUntilUnhooked) {
  TProcessMemory process;
  const Address exe = reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr));
  const Address real =
      reinterpret_cast<std::uintptr_t>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount"));
  // The loader's own resolution is the oracle for the slot lookup.
  const std::vector<Address> slots = FindImportSlots(process, exe, "KERNEL32.dll", "GetTickCount");
  ASSERT_EQ(slots.size(), 1u);
  Address value = 0;
  process.Read(slots[0], &value, sizeof(void*));
  EXPECT_EQ(value, real);

  auto memory = CreateProcessMemoryPatcher();
  TPatchList patches(*memory);
  const std::vector<ModuleEntry> modules = process.Modules();
  const auto patched = HookImports(patches, {modules.begin(), modules.end()},
                                   TImportHook{"kernel32.dll", "GetTickCount", real,
                                               reinterpret_cast<std::uintptr_t>(&FixedTicks)});
  ASSERT_FALSE(patched.empty());
  EXPECT_EQ(TicksThroughTheImport(), 42u);
  UnhookImports(patches, patched);
  process.Read(slots[0], &value, sizeof(void*));
  EXPECT_EQ(value, real);
  EXPECT_TRUE(patches.Patches().empty());
}

}  // namespace
}  // namespace ruvex
