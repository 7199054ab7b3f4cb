// Exports of loaded modules against the system lookup (runs under wine64).
#include <windows.h>

#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "reporter/engines/memory/ProcessMemory.h"
#include "reporter/engines/pe/exports/Exports.h"

namespace ruvex {
namespace {

Address AddressOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

TEST(ProcessMemory, ExportsOfLoadedModulesAgreeWithTheSystemLookup) {
  const TProcessMemory memory;
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  ASSERT_TRUE(kernel32);
  const Address base = AddressOf(kernel32);
  std::size_t compared = 0, forwarded = 0;
  const std::vector<TExport> exports = ListExports(memory, base);
  for (std::size_t i = 0; i < exports.size(); ++i) {
    const TExport& e = exports[i];
    // Every forwarder and a quarter of the rest: each lookup costs the
    // live reader a few dozen system calls.
    if (e.name.empty() || (e.forwarder.empty() && i % 4 != 0)) continue;
    const FARPROC expected = GetProcAddress(kernel32, e.name.c_str());
    const auto found = ImageProcAddress(memory, memory, base, e.name, false);
    if (!e.forwarder.empty()) {
      ++forwarded;
      if (!found) continue;  // forwarded into a module that is not loaded
    }
    ASSERT_TRUE(found) << e.name;
    EXPECT_EQ(*found, AddressOf(reinterpret_cast<void*>(expected))) << e.name;
    ++compared;
  }
  std::printf("kernel32 exports equal to GetProcAddress: %zu (%zu forwarders)\n", compared, forwarded);

  // Checked against the module's file on disk, the answers stay the same.
  const TProcAddressHooks hooks = SystemProcAddressHooks();
  const auto file = hooks.mapFile(base);
  ASSERT_TRUE(file);
  const auto inMemory = ReadExportDirectory(memory, base), onDisk = ReadExportDirectory(*file, base);
  ASSERT_TRUE(inMemory && onDisk);
  EXPECT_EQ(inMemory->addressOfNames, onDisk->addressOfNames);
  for (const char* name : {"GetTickCount", "CreateFileW", "LoadLibraryExW", "HeapAlloc"}) {
    EXPECT_EQ(ImageProcAddress(memory, memory, base, name, true, hooks),
              AddressOf(reinterpret_cast<void*>(GetProcAddress(kernel32, name))))
        << name;
  }
  EXPECT_FALSE(ImageProcAddress(memory, memory, base, "NoSuchExportAnywhere", true, hooks));
  EXPECT_GT(compared, 300u);

  // The module of an address, with its full file name.
  const auto module = ModuleOfAddress(memory, memory, AddressOf(reinterpret_cast<void*>(&GetTickCount)));
  ASSERT_TRUE(module);
  wchar_t name[MAX_PATH];
  const HMODULE owner = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(module->base));
  GetModuleFileNameW(owner, name, MAX_PATH);
  EXPECT_EQ(module->fileName, reinterpret_cast<const char16_t*>(name));
  EXPECT_EQ(ExportName(memory, module->base, AddressOf(reinterpret_cast<void*>(GetProcAddress(owner, "GetTickCount"))), false),
            u"GetTickCount");
}

}  // namespace
}  // namespace ruvex
