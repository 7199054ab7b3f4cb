// Saves on the real file system through the C++ library half, read back by
// an independent reader in Python.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/text/Utf.h"
#include "reporter/core/report/ReportFormat.h"
#include "reporter/core/report/ReportText.h"
#include "reporter/core/reportfile/ReportFileWriter.h"

namespace ruvex {
namespace {

namespace fs = std::filesystem;

std::u16string CrashReport(std::uint32_t crc) {
  TReportItems header = {{u"date/time", u"2026-12-10, 09:00:00, 5ms"},
                         {u"executable", u"Tool.exe"},
                         {u"version", u"1.0.0.0"},
                         {u"callstack crc", CallstackCrcText(crc, 0x11111111, 0x22222222)},
                         {u"exception class", u"EAccessViolation"},
                         {u"exception message", u"Ünïcödé €."}};
  return RenderBugReport(header, {{u"main thread ($1a2c)", u"00401000 +000 Tool.exe Unit 12 +0 Function\r\n"}});
}

TEST(ReportFileWriterOnDisk, SavesIntoNewFoldersAndMergesRepeats) {
  const char* source = std::getenv("KELVANE_SOURCE_DIR");
  if (!source || std::system("/usr/bin/python3 -c pass") != 0) GTEST_SKIP() << "needs python3 and the CTest paths";
  const fs::path folder = fs::temp_directory_path() / ("ruvex-reportfile-" + std::to_string(::getpid()));
  const fs::path file = folder / "deep" / "folder" / "bugreport.qbr";
  TReportFileContext context{kelvane::U16((folder / "Tool").string()), kelvane::U16(folder.string()), [](int) {}};
  TReportFileSave save;
  save.fileName = kelvane::U16(file.string());
  save.automatic = false;  // the path is taken as given
  for (std::uint32_t crc : {1u, 2u, 1u}) {
    save.report = CrashReport(crc);
    ASSERT_TRUE(WriteBugReportFile(kelvane::DefaultFileSystem(), context, save));
  }
  const std::string out = (folder / "reports.txt").string();
  const std::string command = "/usr/bin/python3 " + std::string(source) + "/reporter/core/reportfile/read_report_file.py '" +
                              file.string() + "' > '" + out + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(out);
  const std::string printed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(printed,
            "$00000002, $11111111, $22222222 1\n"
            "$00000001, $11111111, $22222222 2\n");
  std::size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(file.parent_path())) entries += entry.is_regular_file();
  EXPECT_EQ(entries, 1u);  // no sibling left
  fs::remove_all(folder);
}

}  // namespace
}  // namespace ruvex
