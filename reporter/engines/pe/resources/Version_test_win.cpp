// Version texts: the system reading against our own (runs under wine64).
#include <windows.h>

#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "reporter/engines/pe/resources/Version.h"

namespace ruvex {
namespace {

std::u16string SystemFile(const wchar_t* name) {
  wchar_t dir[MAX_PATH];
  GetSystemDirectoryW(dir, MAX_PATH);
  return reinterpret_cast<const char16_t*>((std::wstring(dir) + L"\\" + name).c_str());
}

TEST(Version, SystemAndOwnReadingOfVersionResourcesAgree) {
  for (const wchar_t* name : {L"kernel32.dll", L"comctl32.dll", L"user32.dll", L"shell32.dll"}) {
    const std::u16string path = SystemFile(name);
    const std::u16string system = FileVersionText(path);
    EXPECT_FALSE(system.empty()) << kelvane::Utf16ToUtf8(path);
    EXPECT_EQ(FileVersionTextOfImageFile(kelvane::Utf16ToUtf8(path)), system) << kelvane::Utf16ToUtf8(path);
  }
  EXPECT_EQ(FileVersionText(u"C:\\no\\such\\file.dll"), u"");
}

}  // namespace
}  // namespace ruvex
