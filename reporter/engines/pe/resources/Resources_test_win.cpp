// Resources of loaded modules against the system (runs under wine64).
#include <windows.h>

#include <gtest/gtest.h>

#include "reporter/engines/memory/ProcessMemory.h"
#include "reporter/engines/pe/resources/Resources.h"

namespace ruvex {
namespace {

Address AddressOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

TEST(ProcessMemory, ResourcesOfLoadedModulesAgreeWithTheSystem) {
  const TProcessMemory memory;
  const HMODULE module = LoadLibraryExW(L"comctl32.dll", nullptr, 0);
  ASSERT_TRUE(module);
  for (const WORD type : {WORD(16), WORD(5), WORD(6)}) {  // version, dialog, string table
    struct TFirst {
      WORD id = 0;
      bool found = false;
    } first;
    EnumResourceNamesW(
        module, MAKEINTRESOURCEW(type),
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context) -> BOOL {
          auto* f = reinterpret_cast<TFirst*>(context);
          if (!IS_INTRESOURCE(name)) return TRUE;
          f->id = static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name));
          f->found = true;
          return FALSE;
        },
        reinterpret_cast<LONG_PTR>(&first));
    if (!first.found) continue;
    const HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(first.id), MAKEINTRESOURCEW(type));
    ASSERT_TRUE(info);
    const void* data = LockResource(LoadResource(module, info));
    const std::string expected(static_cast<const char*>(data), SizeofResource(module, info));
    EXPECT_EQ(ResourceBytes(memory, AddressOf(module), TResourceId::Of(type), TResourceId::Of(first.id),
                            GetThreadUILanguage()),
              expected)
        << type << "/" << first.id;
  }
  FreeLibrary(module);
}

}  // namespace
}  // namespace ruvex
