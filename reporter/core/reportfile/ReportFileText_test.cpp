#include "reporter/core/reportfile/ReportFileText.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

const std::string kReport =
    "date/time        : 2026-12-10, 09:00:00, 1ms\r\n"
    "bde version      : 5.2\r\n"
    "versions         : many\r\n"
    "callstack crc    :  $0badf00d, $11111111, $22222222 \r\n"
    "exception class  : EAccessViolation\r\n"
    "\r\n"
    "main thread:\r\n"
    "version          : in a section\r\n"
    "count            : 7";

TEST(ReportFileTextTest, FieldsAreReadFromWholeHeaderLinesOnly) {
  const struct {
    const char* name;
    std::optional<std::string> value;
  } cases[] = {
      {"date/time", "2026-12-10, 09:00:00, 1ms"},  // the first line
      {"callstack crc", "$0badf00d, $11111111, $22222222"},
      {"bde version", "5.2"},
      {"version", std::nullopt},  // neither "bde version", "versions" nor a section line
      {"count", std::nullopt},
      {"callstack", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadReportField(kReport, c.name), c.value) << c.name;
  EXPECT_EQ(ReadReportField("a : x", "a"), "x");
  EXPECT_EQ(ReadReportField("a: x", "a"), std::nullopt);  // no padding: not a header line
}

TEST(ReportFileTextTest, AnInsertedFieldTakesTheAnchorsWidth) {
  const std::string merged = InsertReportFieldAfter(kReport, "callstack crc", "count", "2");
  EXPECT_NE(merged.find("$22222222 \r\ncount            : 2\r\nexception class"), std::string::npos);
  EXPECT_EQ(ReadReportField(merged, "count"), "2");
  EXPECT_EQ(InsertReportFieldAfter(kReport, "missing", "count", "2"), kReport);
  EXPECT_EQ(InsertReportFieldAfter("ab : 1", "ab", "longer name", "2"), "ab : 1\r\nlonger name : 2");
}

TEST(ReportFileTextTest, ReportsStartWithADateLineAtTheStartOrAfterABlankLine) {
  const std::string file = kReport + "\r\n\r\n" + kReport + "\r\n\r\ndate/time:x\r\n\r\nxdate/time : y\r\n\r\n" + kReport;
  const auto starts = ReportStarts(file);
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_EQ(starts[0], 0u);
  EXPECT_EQ(starts[1], kReport.size() + 4);
  EXPECT_EQ(file.substr(starts[2]), kReport);
  EXPECT_TRUE(ReportStarts("garbage\r\ndate/time : x").empty());
}

}  // namespace
}  // namespace ruvex
