#include "reporter/core/report/HeaderSource_win.h"

#include <gtest/gtest.h>

#include "reporter/core/report/ReportFormat.h"

namespace ruvex {
namespace {

// The real system's values arrive in the header in their formats.
TEST(HeaderSourceWinTest, TheRunningProcessFillsTheHeader) {
  TWinHeaderSource source(GetTickCount64() - 2500, nullptr);
  THeaderFacts facts;
  facts.exceptionClass = u"EAccessViolation";
  auto header = BuildReportHeader(source, facts);
  EXPECT_FALSE(header->GetContent(u"computer name").empty());
  EXPECT_EQ(header->GetContent(u"process id"), DollarHex(GetCurrentProcessId()));
  EXPECT_EQ(header->GetContent(u"executable"), u"ruvex_report_tests.exe");
  EXPECT_EQ(header->FindItem(u"current module"), -1);
  EXPECT_EQ(header->GetContent(u"program up time"), u"2 seconds");
  EXPECT_NE(header->GetContent(u"physical memory").find(u" MB (free/total)"), std::u16string::npos);
  EXPECT_EQ(header->GetContent(u"free disk space").rfind(u"(", 0), 0u);
  EXPECT_FALSE(header->GetContent(u"allocated memory").empty());
  EXPECT_FALSE(header->GetContent(u"largest free block").empty());
  EXPECT_NE(header->GetContent(u"operating system").find(u" build "), std::u16string::npos);
  EXPECT_EQ(header->GetContent(u"exec. date/time").size(), 16u);
  EXPECT_EQ(header->GetContent(u"callstack crc"), u"will be calculated soon");
}

}  // namespace
}  // namespace ruvex
