// Saves through the Windows half of the file system, under wine.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "common/win/WinText_win.h"
#include "reporter/core/reportfile/ReportFileWriter.h"

namespace ruvex {
namespace {

using kelvane::Wide;

std::u16string TempFolder() {
  wchar_t buffer[MAX_PATH];
  const DWORD n = GetTempPathW(MAX_PATH, buffer);
  return kelvane::FromWide(buffer, n) + u"ruvex-reportfile-" + kelvane::U16(std::to_string(GetCurrentProcessId()));
}

TEST(ReportFileWriterWinTest, SavesIntoNewFoldersAndWaitsForAHolder) {
  kelvane::IFileSystem& files = kelvane::DefaultFileSystem();
  const std::u16string path = TempFolder() + u"\\deep\\folder\\bugreport.qbr";
  int pauses = 0;
  TReportFileContext context{TempFolder() + u"\\Tool.exe", TempFolder(), [&](int) { ++pauses; }};
  TReportFileSave save;
  save.fileName = path;
  save.report = u"date/time : x";
  ASSERT_TRUE(WriteBugReportFile(files, context, save));
  ASSERT_TRUE(WriteBugReportFile(files, context, save));
  EXPECT_EQ(kelvane::ReadWholeFile(files, path, 1000), "date/time : x\r\n\r\ndate/time : x\r\n\r\n");
  EXPECT_EQ(pauses, 0);
  {
    auto holder = files.OpenExclusive(path);  // another save, never done
    ASSERT_TRUE(holder);
    EXPECT_FALSE(WriteBugReportFile(files, context, save));
    EXPECT_EQ(pauses, kHoldAttempts - 1);
  }
  EXPECT_EQ(kelvane::ReadWholeFile(files, path, 1000), "date/time : x\r\n\r\ndate/time : x\r\n\r\n");
  DeleteFileW(Wide(path));
  RemoveDirectoryW(Wide(TempFolder() + u"\\deep\\folder"));
  RemoveDirectoryW(Wide(TempFolder() + u"\\deep"));
  RemoveDirectoryW(Wide(TempFolder()));
}

}  // namespace
}  // namespace ruvex
