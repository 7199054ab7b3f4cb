#include <windows.h>

#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "common/win/WinText_win.h"
#include "reporter/core/reportfile/ReportFileStore.h"
#include "reporter/core/reportfile/ReportFileWriter.h"

namespace ruvex {
namespace {

using kelvane::Wide;

std::u16string TempFolder() {
  wchar_t buffer[MAX_PATH];
  const DWORD n = GetTempPathW(MAX_PATH, buffer);
  return kelvane::FromWide(buffer, n) + u"ruvex-reportfile-" + kelvane::U16(std::to_string(GetCurrentProcessId()));
}

std::string ReadFile(const std::u16string& path) {
  auto hold = WindowsReportFileStore().Hold(path);
  if (!hold) return "<held>";
  auto content = hold->Read(1 << 20);
  return content ? content->bytes : "<unreadable>";
}

TEST(ReportFileStoreWinTest, SavesAreExclusiveAndReplaceTheWholeFile) {
  const std::u16string path = TempFolder() + u"\\deep\\folder\\bugreport.qbr";
  {
    auto first = WindowsReportFileStore().Hold(path);  // creates the folders
    ASSERT_TRUE(first);
    EXPECT_FALSE(WindowsReportFileStore().Hold(path));  // a second save must wait
    EXPECT_EQ(first->Read(100)->bytes, "");
    ASSERT_TRUE(first->Replace("one"));
  }
  EXPECT_EQ(ReadFile(path), "one");

  TReportFileContext context{TempFolder() + u"\\Tool.exe", TempFolder(), nullptr};
  TReportFileSave save;
  save.fileName = path;
  save.report = u"date/time : x";
  ASSERT_TRUE(WriteBugReportFile(WindowsReportFileStore(), context, save));
  EXPECT_EQ(ReadFile(path), "one\r\n\r\ndate/time : x\r\n\r\n");
  {
    auto hold = WindowsReportFileStore().Hold(path);
    EXPECT_EQ(hold->Read(4)->bytes, "\r\n\r\n");
    EXPECT_TRUE(hold->Read(4)->headCut);
  }
  DeleteFileW(Wide(path));
  RemoveDirectoryW(Wide(TempFolder() + u"\\deep\\folder"));
  RemoveDirectoryW(Wide(TempFolder() + u"\\deep"));
  RemoveDirectoryW(Wide(TempFolder()));
}

}  // namespace
}  // namespace ruvex
