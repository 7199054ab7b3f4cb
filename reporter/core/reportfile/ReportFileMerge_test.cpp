#include "reporter/core/reportfile/ReportFileMerge.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "common/text/Format.h"
#include "common/text/Utf.h"
#include "reporter/core/report/ReportFormat.h"
#include "reporter/core/report/ReportText.h"
#include "reporter/core/reportfile/ReportFileText.h"

namespace ruvex {
namespace {

using kelvane::U16;

struct TSampleReport {
  std::uint32_t crc1 = 0xbadf00d, crc2 = 0x11111111, crc3 = 0x22222222;
  const char16_t* executable = u"Tool.exe";
  const char16_t* exceptionClass = u"EAccessViolation";  // empty: a freeze
  const char16_t* version = u"1.0.0.0";                  // empty: none
  int second = 0;
  std::size_t stackLines = 3;
};

// A report as the reporter renders it.
std::u16string Report(const TSampleReport& sample) {
  TReportItems header = {{u"date/time", u"2026-12-10, 09:00:" + std::u16string(sample.second < 10 ? u"0" : u"") +
                                             kelvane::DecimalText(sample.second) + u", 5ms"},
                         {u"executable", sample.executable},
                         {u"exec. date/time", u"2026-12-01 08:00"}};
  if (*sample.version) header.emplace_back(u"version", sample.version);
  header.emplace_back(u"callstack crc", CallstackCrcText(sample.crc1, sample.crc2, sample.crc3));
  header.emplace_back(u"exception number", u"1");
  if (*sample.exceptionClass) header.emplace_back(u"exception class", sample.exceptionClass);
  header.emplace_back(u"exception message", u"Access violation: Ünïcödé €.");
  std::u16string stack;
  for (std::size_t i = 0; i < sample.stackLines; ++i) stack += u"00401000 +000 Tool.exe Unit 12 +0 Function\r\n";
  return RenderBugReport(header, {{u"main thread ($1a2c)", stack}, {u"cpu registers", u"eax = 00000000"}});
}

std::string Utf8(const std::u16string& text) { return kelvane::Utf16ToUtf8(text); }

std::vector<std::string> ReportsOf(const std::string& file) {
  std::vector<std::string> reports;
  const auto starts = ReportStarts(file);
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : file.size();
    reports.push_back(file.substr(starts[i], end - starts[i]));
  }
  return reports;
}

std::string Save(const std::string& file, const TSampleReport& sample, const TReportFileOptions& options = {}) {
  return ComposeReportFile(file, Report(sample), options);
}

// The new report stands whole at the end of the file, after a blank line.
void ExpectEndsWithReport(const std::string& file, const std::u16string& report) {
  const std::string tail = Utf8(report) + "\r\n\r\n";
  ASSERT_GE(file.size(), tail.size());
  EXPECT_EQ(file.substr(file.size() - tail.size()), tail);
  ASSERT_FALSE(ReportStarts(file).empty());
  EXPECT_EQ(ReportStarts(file).back(), file.size() - tail.size());
}

TEST(ReportFileMergeTest, TheSameCrashIsCountedInOneReportThatMovesToTheEnd) {
  std::string file = Save("", {});
  EXPECT_EQ(file, Utf8(Report({})) + "\r\n\r\n");  // UTF-8, no byte-order mark
  file = Save(file, {.crc1 = 0x999, .second = 1});
  file = Save(file, {.second = 2});
  auto reports = ReportsOf(file);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(ReadReportField(reports[1], "count"), "2");
  EXPECT_EQ(ReadReportField(reports[1], "date/time"), "2026-12-10, 09:00:02, 5ms");
  // "count" stands right after "callstack crc", in its column.
  const std::string countLine = "count" + std::string(13, ' ') + ": 2";  // "exception message" is longest
  EXPECT_NE(reports[1].find("$22222222\r\n" + countLine + "\r\nexception number"), std::string::npos);

  file = Save(file, {.second = 3});
  reports = ReportsOf(file);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(ReadReportField(reports[1], "count"), "3");
  EXPECT_EQ(ReadReportField(reports[0], "callstack crc"), "$00000999, $11111111, $22222222");
}

TEST(ReportFileMergeTest, OnlyTheSameProgramAndKeyMakeADuplicate) {
  const TReportFileOptions defaults;
  TReportFileOptions crashStack;
  crashStack.dupExceptDef = ddCrashStackIdentical;
  TReportFileOptions keepAll;
  keepAll.noDupExcepts = false;
  const struct {
    const char* what;
    TSampleReport second;
    TReportFileOptions options;
    std::size_t reports;
  } cases[] = {
      {"same crash", {}, defaults, 1},
      {"other executable", {.executable = u"Other.exe"}, defaults, 2},
      {"other version", {.version = u"1.0.0.1"}, defaults, 2},
      {"other class", {.exceptionClass = u"EZeroDivide"}, defaults, 2},
      {"other first checksum", {.crc1 = 1}, defaults, 2},
      {"other second checksum, address key", {.crc2 = 1}, defaults, 1},
      {"other second checksum, stack key", {.crc2 = 1}, crashStack, 2},
      {"other third checksum, stack key", {.crc3 = 1}, crashStack, 1},
      {"duplicates kept", {}, keepAll, 2},
  };
  for (const auto& c : cases) {
    const std::string file = Save(Save("", {}), c.second, c.options);
    const auto reports = ReportsOf(file);
    ASSERT_EQ(reports.size(), c.reports) << c.what;
    EXPECT_EQ(ReadReportField(reports.back(), "count"),
              c.reports == 1 ? std::optional<std::string>("2") : std::nullopt) << c.what;
    if (c.reports == 2) ExpectEndsWithReport(file, Report(c.second));
  }
}

TEST(ReportFileMergeTest, FreezesUseTheirOwnSwitchAndIncompleteChecksumsNeverMerge) {
  TReportFileOptions options;
  const TSampleReport freeze{.exceptionClass = u""};
  EXPECT_EQ(ReportsOf(Save(Save("", freeze), freeze, options)).size(), 1u);
  options.noDupFreezes = false;
  EXPECT_EQ(ReportsOf(Save(Save("", freeze), freeze, options)).size(), 2u);

  std::u16string pending = Report({});
  const std::u16string crc = CallstackCrcText(0xbadf00d, 0x11111111, 0x22222222);
  pending.replace(pending.find(crc), crc.size(), kCallstackCrcPending);
  EXPECT_EQ(ReportsOf(ComposeReportFile(ComposeReportFile("", pending, {}), pending, {})).size(), 2u);
}

// Without "version" the module dates decide; a checksum that only a
// section line shows is no duplicate.
TEST(ReportFileMergeTest, DatesStandInForAMissingVersionAndSectionsAreNotHeaders) {
  const TSampleReport unversioned{.version = u""};
  std::string file = Save("", unversioned);
  std::string later = Utf8(Report(unversioned));
  EXPECT_EQ(ReportsOf(ComposeReportFile(file, U16(later), {})).size(), 1u);
  later.replace(later.find("2026-12-01 08:00"), 16, "2026-12-02 08:00");
  EXPECT_EQ(ReportsOf(ComposeReportFile(file, U16(later), {})).size(), 2u);

  std::string old = Utf8(Report({.crc1 = 7}));
  old += "\r\n\r\nextra:\r\ncallstack crc  : $0badf00d, $11111111, $22222222\r\n\r\n";
  EXPECT_EQ(ReportsOf(Save(old, {})).size(), 2u);
}

TEST(ReportFileMergeTest, WithoutAppendingTheFileHoldsOnlyTheNewReport) {
  TReportFileOptions options;
  options.appendBugReports = false;
  const std::string file = Save(Save("", {}), {.crc1 = 5}, options);
  EXPECT_EQ(file, Utf8(Report({.crc1 = 5})) + "\r\n\r\n");
}

TEST(ReportFileMergeTest, TrimmingDropsTheOldestReportsBelowThreeQuartersOfTheLimit) {
  TReportFileOptions options;
  options.sizeLimit = 1000;
  std::string old;
  for (int i = 0; old.size() <= 1500; ++i) old = Save(old, {.crc1 = std::uint32_t(100 + i), .stackLines = 0});
  const std::size_t reportSize = ReportsOf(old)[0].size();
  ASSERT_LT(reportSize, 400u);
  const std::string file = Save(old, {.crc1 = 1}, options);
  const std::string kept = file.substr(0, file.size() - Utf8(Report({.crc1 = 1})).size() - 4);
  EXPECT_LT(kept.size() + 2, 750u);  // measured from the line break before it
  EXPECT_GE(kept.size() + 2 + reportSize, 750u);  // one more would not have fitted
  EXPECT_EQ(old.substr(old.size() - kept.size()), kept);  // whole reports, the newest
  ExpectEndsWithReport(file, Report({.crc1 = 1}));

  // Not over the limit before the save: nothing is dropped.
  options.sizeLimit = old.size();
  EXPECT_EQ(Save(old, {.crc1 = 1}, options).substr(0, old.size()), old);
}

TEST(ReportFileMergeTest, ThirtyReportsStayUnderTheLimitWithTheNewestWhole) {
  TReportFileOptions options;  // 100,000 bytes
  std::string file;
  for (int i = 0; i < 30; ++i) {
    file = Save(file, {.crc1 = std::uint32_t(i), .second = i % 60, .stackLines = 120}, options);
    ExpectEndsWithReport(file, Report({.crc1 = std::uint32_t(i), .second = i % 60, .stackLines = 120}));
  }
  EXPECT_GT(Utf8(Report({.stackLines = 120})).size() * 30, 150000u);
  EXPECT_LT(file.size(), 100000u);
  EXPECT_GT(ReportsOf(file).size(), 5u);
}

// One report larger than three quarters of the limit: only the newest old
// report stays, so the file cannot grow without bound.
TEST(ReportFileMergeTest, WhenNoStartFitsOnlyTheNewestOldReportStays) {
  TReportFileOptions options;
  options.sizeLimit = 5000;
  std::string file;
  for (int i = 0; i < 10; ++i) file = Save(file, {.crc1 = std::uint32_t(i), .stackLines = 90}, options);
  ASSERT_GT(Utf8(Report({.stackLines = 90})).size(), 3750u);
  const auto reports = ReportsOf(file);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(ReadReportField(reports[0], "callstack crc")->substr(0, 9), "$00000008");
}

TEST(ReportFileMergeTest, ACorruptFileNeverCostsTheNewReport) {
  const std::string report = Utf8(Report({}));
  const struct {
    const char* what;
    std::string old;
  } cases[] = {
      {"invalid UTF-8", "\xff\xfe\xc3(\xed\xa0\x80 date/time : \x80\r\n\r\n"},
      {"a cut report", report.substr(0, report.size() / 2)},
      {"a cut line break", report + "\r"},
      {"no boundaries", std::string(3000, 'x')},
      {"a large file without boundaries", std::string(3 << 20, '\n')},
      {"a large file of reports", [&] {
         std::string big;
         while (big.size() < (2 << 20)) big += report + "\r\n\r\n";
         return big;
       }()},
      {"a lone key", ": $0badf00d"},
      {"a report without its checksum line", report.substr(0, report.find("callstack crc"))},
  };
  for (const auto& c : cases) {
    for (std::uint64_t limit : {std::uint64_t(0), std::uint64_t(1000), std::uint64_t(100000)}) {
      TReportFileOptions options;
      options.sizeLimit = limit;
      const std::string file = ComposeReportFile(c.old, Report({}), options);
      SCOPED_TRACE(std::string(c.what) + ", limit " + std::to_string(limit));
      const auto reports = ReportsOf(file);
      ASSERT_FALSE(reports.empty());
      EXPECT_EQ(ReadReportField(reports.back(), "exception class"), "EAccessViolation");
      EXPECT_EQ(reports.back().substr(0, report.size()).substr(0, report.find("callstack crc")),
                report.substr(0, report.find("callstack crc")));
      if (limit && c.old.size() > limit) {
        EXPECT_LT(file.size(), limit + 2 * report.size());
      }
    }
  }
}

TEST(ReportFileMergeTest, TheTailOfALargerFileIsTrimmedToWholeReports) {
  const std::string report = Utf8(Report({.crc1 = 3}));
  const std::string tail = report.substr(report.size() / 2) + "\r\n\r\n" + report + "\r\n\r\n";
  const std::string file = ComposeReportFile(tail, Report({.crc1 = 4}), {}, true);
  EXPECT_EQ(file, report + "\r\n\r\n" + Utf8(Report({.crc1 = 4})) + "\r\n\r\n");
}

}  // namespace
}  // namespace ruvex

namespace ruvex {
namespace {

// Python reads what the merge wrote: strict UTF-8 without a byte-order
// mark, whole reports with aligned headers, and the counts.
TEST(ReportFileMergeTest, AnIndependentReaderAgreesOnReportsAndCounts) {
  const char* source = std::getenv("KELVANE_SOURCE_DIR");
  const char* binary = std::getenv("KELVANE_BINARY_DIR");
  if (!source || !binary || std::system("python3 -c pass") != 0) GTEST_SKIP() << "needs python3 and the CTest paths";
  std::string file;
  for (std::uint32_t crc : {1u, 2u, 1u, 1u, 3u}) file = Save(file, {.crc1 = crc});
  const std::string path = std::string(binary) + "/reportfile-oracle.qbr";
  const std::string out = path + ".out";
  {
    std::ofstream(path, std::ios::binary) << file;
  }
  const std::string command = "python3 " + std::string(source) + "/reporter/core/reportfile/read_report_file.py " +
                              path + " > " + out;
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(out);
  const std::string printed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(printed,
            "$00000002, $11111111, $22222222 1\n"
            "$00000001, $11111111, $22222222 3\n"
            "$00000003, $11111111, $22222222 1\n");
  std::remove(path.c_str());
  std::remove(out.c_str());
}

}  // namespace
}  // namespace ruvex
