#include "reporter/core/reportfile/ReportFileWriter.h"

#include <gtest/gtest.h>

#include "common/files/MemoryFileSystem.h"
#include "common/text/Utf.h"

namespace ruvex {
namespace {

const std::u16string kReport = u"date/time : 2026-12-10\r\ncallstack crc : x";
const std::string kSaved = kelvane::Utf16ToUtf8(kReport) + "\r\n\r\n";
const std::u16string kNextToProgram = u"C:\\App\\bugreport.qbr";
const std::u16string kInAppData = u"C:\\Users\\u\\Roaming\\Tool\\bugreport.qbr";

class ReportFileWriterTest : public ::testing::Test {
 protected:
  kelvane::TMemoryFileSystem files;
  int pauses = 0;
  TReportFileContext context{u"C:\\App\\Tool.exe", u"C:\\Users\\u\\Roaming", [this](int ms) {
                               EXPECT_EQ(ms, kHoldPauseMilliseconds);
                               ++pauses;
                             }};
  TReportFileSave save;

  void SetUp() override { save.report = kReport; }

  bool Write(std::u16string* where = nullptr) { return WriteBugReportFile(files, context, save, where); }
};

TEST_F(ReportFileWriterTest, ARelativeNameLandsNextToTheProgram) {
  std::u16string where;
  ASSERT_TRUE(Write(&where));
  EXPECT_EQ(where, kNextToProgram);
  EXPECT_EQ(files.files[kNextToProgram].data, kSaved);
  ASSERT_TRUE(Write());
  EXPECT_EQ(files.files[kNextToProgram].data, kSaved + kSaved);  // no complete checksum: no merge
}

TEST_F(ReportFileWriterTest, AnUnwritableProgramFolderFallsBackToApplicationData) {
  files.unreadable.insert(kNextToProgram);
  std::u16string where;
  ASSERT_TRUE(Write(&where));
  EXPECT_EQ(where, kInAppData);
  EXPECT_EQ(files.files[kInAppData].data, kSaved);
  EXPECT_EQ(files.folders.count(u"C:\\Users\\u\\Roaming\\Tool"), 1u);
  EXPECT_EQ(pauses, kHoldAttempts - 1);

  // Only a plain file name falls back; a folder given is kept to.
  save.rawBugRepFile = u"logs\\bugreport.qbr";
  files.unreadable.insert(u"C:\\App\\logs\\bugreport.qbr");
  EXPECT_FALSE(Write());
}

TEST_F(ReportFileWriterTest, AFileHeldByAnotherSaveIsWaitedForAboutHalfASecond) {
  files.heldElsewhere[kNextToProgram] = 3;
  ASSERT_TRUE(Write());
  EXPECT_EQ(pauses, 3);
  EXPECT_EQ(files.files[kNextToProgram].data, kSaved);
  EXPECT_EQ(kHoldAttempts * kHoldPauseMilliseconds, 500);
}

TEST_F(ReportFileWriterTest, AFailedReplacementLeavesTheOldFileAndIsRetried) {
  files.files[kNextToProgram].data = "old\r\n\r\n";
  files.replaceFailures = 1;  // another save took the file in between
  ASSERT_TRUE(Write());
  EXPECT_EQ(files.files[kNextToProgram].data, "old\r\n\r\n" + kSaved);

  files.replaceFailures = kSaveRounds;  // a full disk
  EXPECT_FALSE(Write());
  EXPECT_EQ(files.files[kNextToProgram].data, "old\r\n\r\n" + kSaved);
}

TEST_F(ReportFileWriterTest, NothingIsWrittenWhenTheSaveCannotGoAhead) {
  files.files[kNextToProgram].data = "old";
  files.readableBytes[kNextToProgram] = 0;
  EXPECT_FALSE(Write());
  EXPECT_EQ(files.files[kNextToProgram].data, "old");

  save.report.clear();
  EXPECT_FALSE(Write());
  save.report = kReport;
  save.automatic = false;  // the dialog's name is missing
  EXPECT_FALSE(Write());
  EXPECT_EQ(files.exclusiveOpens, 1);
}

TEST_F(ReportFileWriterTest, AGivenNameIsUsedAndNotTrimmedWhenTooLargeWithoutALimit) {
  save.fileName = u"D:\\out\\copy.qbr";
  save.options.appendBugReports = false;
  files.files[save.fileName].data = "replaced";
  ASSERT_TRUE(Write());
  EXPECT_EQ(files.files[save.fileName].data, kSaved);

  save.options.appendBugReports = true;
  save.options.sizeLimit = 0;
  files.files[save.fileName].data = std::string(kMaxReadBytes + 1, 'x');
  EXPECT_FALSE(Write());
  EXPECT_EQ(files.files[save.fileName].data.size(), kMaxReadBytes + 1);
}

}  // namespace
}  // namespace ruvex
