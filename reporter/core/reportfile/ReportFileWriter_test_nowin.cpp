// Saves on the real file system through the C++ library half, read back by
// an independent reader in Python.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
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


std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A save in a child process that the system ends once the file it writes
// reaches `limit` bytes (the file-size limit raises SIGXFSZ): the process
// dies in the middle of the write, with no chance to clean up.
int SaveEndedAfter(std::uint64_t limit, const TReportFileContext& context, const TReportFileSave& save) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_DFL);
    const rlimit size{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &size);
    _exit(WriteBugReportFile(kelvane::DefaultFileSystem(), context, save) ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return status;
}

TEST(ReportFileWriterOnDisk, ASaveEndedAtAnyByteLeavesTheOldFileOrTheNewOne) {
  const fs::path folder = fs::temp_directory_path() / ("ruvex-reportfile-ended-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path file = folder / "bugreport.qbr";
  TReportFileContext context{kelvane::U16((folder / "Tool").string()), kelvane::U16(folder.string()), [](int) {}};
  TReportFileSave save;
  save.fileName = kelvane::U16(file.string());
  save.automatic = false;
  save.report = CrashReport(1);
  ASSERT_TRUE(WriteBugReportFile(kelvane::DefaultFileSystem(), context, save));
  const std::string before = ReadAll(file);
  save.report = CrashReport(2);
  ASSERT_TRUE(WriteBugReportFile(kelvane::DefaultFileSystem(), context, save));
  const std::string after = ReadAll(file);
  ASSERT_NE(before, after);

  int ended = 0, completed = 0;
  for (std::uint64_t limit = 0; limit <= after.size() + 1; ++limit) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    WriteAll(file, before);
    const int status = SaveEndedAfter(limit, context, save);
    const std::string now = ReadAll(file);
    EXPECT_TRUE(now == before || now == after) << "ended after " << limit << " bytes";
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
      ++completed;
      EXPECT_EQ(now, after) << "a save that reports success holds the new report";
    } else {
      ended += WIFSIGNALED(status);
    }
  }
  EXPECT_GT(ended, 0) << "the limit ended some saves";
  EXPECT_GT(completed, 0) << "a limit above the file's size lets the save complete";
  fs::remove_all(folder);
}

}  // namespace
}  // namespace ruvex
