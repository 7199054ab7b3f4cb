// The description of the running system (runs under wine64).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "common/text/Utf.h"
#include "reporter/engines/system/os/OsInfo.h"

namespace ruvex {
namespace {

TEST(OsInfo, DescribesTheRunningSystem) {
  const TOS& os = OsInfo();
  OSVERSIONINFOEXW v{};
  v.dwOSVersionInfoSize = sizeof v;
  using Fn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  auto rtl = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  ASSERT_TRUE(rtl);
  rtl(&v);
  EXPECT_TRUE(os.winNt);
  EXPECT_EQ(os.major, v.dwMajorVersion);
  EXPECT_EQ(os.minor, v.dwMinorVersion);
  EXPECT_EQ(os.build, v.dwBuildNumber);
  EXPECT_NE(os.Enum, osNone);
  EXPECT_TRUE(os.x64);  // the tests run as 64-bit programs
  EXPECT_EQ(os.description.rfind(OsEnumText(os.Enum), 0), 0u);
  EXPECT_NE(os.description.find(u" x64"), std::u16string::npos);
  std::printf("running on: %s\n", kelvane::Utf16ToUtf8(os.description).c_str());
  EXPECT_EQ(&OsInfo(), &os);  // computed once
}

}  // namespace
}  // namespace ruvex
