#include "reporter/plugins/modules/ModuleList.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "common/text/HexText.h"
#include "common/text/Utf.h"

using namespace ruvex;

// The own process lists this program and kernel32, at their real bases,
// with addresses as wide as the build's pointers.
TEST(ModuleListWin, ListsOwnModulesAtTheirBases) {
  const std::u16string text = ModuleListPlugin();
  const auto base = [](HMODULE module) {
    return kelvane::HexLower16(reinterpret_cast<std::uintptr_t>(module), kAddressDigits) + u" ";
  };
  const std::u16string own = base(GetModuleHandleW(nullptr)) + u"ruvex_list_modules_tests.exe ";
  const std::u16string kernel = base(GetModuleHandleW(L"kernel32.dll")) + u"kernel32.dll ";
  EXPECT_NE(text.find(own), std::u16string::npos) << kelvane::Utf16ToUtf8(text);
  EXPECT_NE(text.find(kernel), std::u16string::npos) << kelvane::Utf16ToUtf8(text);
  EXPECT_FALSE(text.ends_with(u"\r\n"));
}
