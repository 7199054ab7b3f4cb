// Short and long path names against the system conversions (runs under wine64).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "reporter/engines/system/os/PathNames.h"

namespace ruvex {
namespace {

TEST(PathNames, AgreeWithTheSystemsConversions) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring dir = std::wstring(temp) + L"Long Folder Name For Tests";
  const std::wstring file = dir + L"\\A Long File Name.text";
  CreateDirectoryW(dir.c_str(), nullptr);
  CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));

  wchar_t shortPath[MAX_PATH], longPath[MAX_PATH];
  ASSERT_TRUE(GetShortPathNameW(file.c_str(), shortPath, MAX_PATH));
  ASSERT_TRUE(GetLongPathNameW(shortPath, longPath, MAX_PATH));
  const std::u16string file16 = reinterpret_cast<const char16_t*>(file.c_str());
  const std::u16string short16 = reinterpret_cast<const char16_t*>(shortPath);
  EXPECT_EQ(ShortPathName(file16), short16);
  EXPECT_EQ(LongPathName(short16), std::u16string(reinterpret_cast<const char16_t*>(longPath)));
  EXPECT_EQ(LongPathName(short16 + u"\\MISSIN~1.TXT"), std::u16string(reinterpret_cast<const char16_t*>(longPath)) + u"\\MISSIN~1.TXT");

  DeleteFileW(file.c_str());
  RemoveDirectoryW(dir.c_str());
}

}  // namespace
}  // namespace ruvex
