#include "reporter/core/reportfile/ReportFileWriter.h"

#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "reporter/core/reportfile/MemoryReportFileStore.h"

namespace ruvex {
namespace {

const std::u16string kReport = u"date/time : 2026-12-10\r\ncallstack crc : x";
const std::string kSaved = kelvane::Utf16ToUtf8(kReport) + "\r\n\r\n";
const std::u16string kNextToProgram = u"C:\\App\\bugreport.qbr";
const std::u16string kInAppData = u"C:\\Users\\u\\Roaming\\Tool\\bugreport.qbr";

class ReportFileWriterTest : public ::testing::Test {
 protected:
  TMemoryReportFileStore store;
  int pauses = 0;
  TReportFileContext context{u"C:\\App\\Tool.exe", u"C:\\Users\\u\\Roaming", [this](int ms) {
                               EXPECT_EQ(ms, kHoldPauseMilliseconds);
                               ++pauses;
                             }};
  TReportFileSave save;

  void SetUp() override { save.report = kReport; }

  bool Write(std::u16string* where = nullptr) { return WriteBugReportFile(store, context, save, where); }
};

TEST_F(ReportFileWriterTest, ARelativeNameLandsNextToTheProgram) {
  std::u16string where;
  ASSERT_TRUE(Write(&where));
  EXPECT_EQ(where, kNextToProgram);
  EXPECT_EQ(store.files[kNextToProgram], kSaved);
  ASSERT_TRUE(Write());
  EXPECT_EQ(store.files[kNextToProgram], kSaved + kSaved);  // no complete checksum: no merge
}

TEST_F(ReportFileWriterTest, AnUnwritableProgramFolderFallsBackToApplicationData) {
  store.unopenable.insert(kNextToProgram);
  std::u16string where;
  ASSERT_TRUE(Write(&where));
  EXPECT_EQ(where, kInAppData);
  EXPECT_EQ(store.files[kInAppData], kSaved);
  EXPECT_EQ(pauses, kHoldAttempts - 1);

  // Only a plain file name falls back; a folder given is kept to.
  save.rawBugRepFile = u"logs\\bugreport.qbr";
  store.unopenable.insert(u"C:\\App\\logs\\bugreport.qbr");
  EXPECT_FALSE(Write());
}

TEST_F(ReportFileWriterTest, AFileHeldByAnotherSaveIsWaitedForAboutHalfASecond) {
  store.heldByOthers[kNextToProgram] = 3;
  ASSERT_TRUE(Write());
  EXPECT_EQ(pauses, 3);
  EXPECT_EQ(store.files[kNextToProgram], kSaved);
  EXPECT_EQ(kHoldAttempts * kHoldPauseMilliseconds, 500);
}

TEST_F(ReportFileWriterTest, AFailedReplacementLeavesTheOldFileAndIsRetried) {
  store.files[kNextToProgram] = "old\r\n\r\n";
  store.replaceFailures = 1;  // another save took the file in between
  ASSERT_TRUE(Write());
  EXPECT_EQ(store.files[kNextToProgram], "old\r\n\r\n" + kSaved);

  store.replaceFailures = kSaveRounds;  // a full disk
  EXPECT_FALSE(Write());
  EXPECT_EQ(store.files[kNextToProgram], "old\r\n\r\n" + kSaved);
}

TEST_F(ReportFileWriterTest, NothingIsWrittenWhenTheSaveCannotGoAhead) {
  store.files[kNextToProgram] = "old";
  store.unreadable.insert(kNextToProgram);
  EXPECT_FALSE(Write());
  EXPECT_EQ(store.files[kNextToProgram], "old");

  save.report.clear();
  EXPECT_FALSE(Write());
  save.report = kReport;
  save.automatic = false;  // the dialog's name is missing
  EXPECT_FALSE(Write());
  EXPECT_EQ(store.holdAttempts, 1);
}

TEST_F(ReportFileWriterTest, AGivenNameIsUsedAndNotTrimmedWhenTooLargeWithoutALimit) {
  save.fileName = u"D:\\out\\copy.qbr";
  save.options.appendBugReports = false;
  store.files[save.fileName] = "replaced";
  ASSERT_TRUE(Write());
  EXPECT_EQ(store.files[save.fileName], kSaved);

  save.options.appendBugReports = true;
  save.options.sizeLimit = 0;
  store.files[save.fileName] = std::string(kMaxReadBytes + 1, 'x');
  EXPECT_FALSE(Write());
  EXPECT_EQ(store.files[save.fileName].size(), kMaxReadBytes + 1);
}

}  // namespace
}  // namespace ruvex
