#include "reporter/core/report/ReportFormat.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace ruvex {
namespace {

TEST(ReportFormatTest, DurationsShowTheTwoLeadingUnits) {
  const struct {
    std::int64_t seconds;
    const char16_t* text;
  } cases[] = {
      {-5, u""},
      {0, u""},
      {1, u"1 second "},
      {3, u"3 seconds "},
      {60, u"1 minute "},
      {65, u"1 minute 5 seconds "},
      {3599, u"59 minutes 59 seconds "},
      {3600 + 59, u"1 hour "},  // seconds fall away once hours show
      {7325, u"2 hours 2 minutes "},
      {86400 + 3600 + 1, u"1 day 1 hour "},
      {2 * 86400 + 59 * 60, u"2 days "},
      {INT64_MAX, u"106751991167300 days 15 hours "},
  };
  for (const auto& c : cases) EXPECT_EQ(DurationText(c.seconds), c.text) << c.seconds;
}

TEST(ReportFormatTest, SizesTruncateToTwoDecimalsInTheFittingUnit) {
  const struct {
    std::uint64_t bytes;
    const char16_t* text;
  } cases[] = {
      {0, u"0 Bytes"},
      {1023, u"1023 Bytes"},
      {1024, u"1.00 KB"},
      {1535, u"1.49 KB"},
      {1536, u"1.50 KB"},
      {1048575, u"1023.99 KB"},
      {1048576, u"1.00 MB"},
      {1048576 + 1023, u"1.00 MB"},  // below one KB more counts nothing
      {5 * 1048576 + 256 * 1024, u"5.25 MB"},
      {1073741824, u"1.00 GB"},
      {3ull * 1073741824 + 805306368, u"3.75 GB"},
      {UINT64_MAX, u"17179869183.99 GB"},
  };
  for (const auto& c : cases) EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
  EXPECT_EQ(SizeText(1536, u','), u"1,50 KB");
}

TEST(ReportFormatTest, ChecksumsAndTimesArePinned) {
  EXPECT_EQ(CallstackCrcText(0xbadf00d, 0, 0xFFFFFFFF), u"$0badf00d, $00000000, $ffffffff");
  EXPECT_EQ(CallstackCrcText(1, 2, 3).size(), kCallstackCrcLength);
  EXPECT_EQ(DollarHex(0x1a2c), u"$1a2c");
  EXPECT_EQ(DollarHex(0), u"$0");
  const TReportTime t{2026, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(ReportDateTimeText(t), u"2026-03-04, 05:06:07, 8ms");
  EXPECT_EQ(FileDateTimeText(t), u"2026-03-04 05:06");
}

}  // namespace
}  // namespace ruvex
