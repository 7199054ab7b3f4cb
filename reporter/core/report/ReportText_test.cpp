#include "reporter/core/report/ReportText.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

TEST(ReportTextTest, HeaderNamesArePaddedToOneWidthAndValuesKeptOnOneLine) {
  const TReportItems header = {
      {u"date/time", u"2026-12-10, 12:00:00, 5ms"},
      {u"wts client name", u"x"},  // 15
      {u"RuvexExcept version", u"5.0.99"},  // 19: the longest
      {u"exception message", u"two\r\nlines\rand\nmore  spaces   here"},
  };
  EXPECT_EQ(RenderHeader(header),
            u"date/time           : 2026-12-10, 12:00:00, 5ms\r\n"
            u"wts client name     : x\r\n"
            u"RuvexExcept version : 5.0.99\r\n"
            u"exception message   : two lines and more spaces here");
  EXPECT_EQ(RenderHeader({}), u"");
  EXPECT_EQ(RenderHeader({{u"a", u""}}), u"a : ");
}

TEST(ReportTextTest, SectionsGetTitlesDotsForEmptyLinesAndNoTrailingBlanks) {
  const TReportItems sections = {
      {u"main thread ($1a2c)", u"line 1  \r\n\r\n  indented\rcr\nlf\t"},
      {u"hardware: list", u"x"},
  };
  const std::u16string expected =
      u"\r\n\r\nmain thread ($1a2c):\r\nline 1\r\n.\r\n  indented\r\ncr\r\nlf"
      u"\r\n\r\nhardware: list\r\nx";
  EXPECT_EQ(RenderSections(sections), expected);
  EXPECT_EQ(RenderSections({{u"s", u"a\n\nb"}}, false), u"\r\n\r\ns:\r\na\r\n\r\nb");
  EXPECT_EQ(RenderBugReport({{u"n", u"v"}}, {{u"s", u"c"}}), u"n : v\r\n\r\ns:\r\nc");
}

TEST(ReportTextTest, InitialSectionsHoldThePlaceholderInTheFixedOrder) {
  TSectionPlan plan;
  plan.threadSections = {u"main thread ($1):", u"thread $2:"};
  plan.pluginSections = {u"modules"};
  plan.cpuRegisters = plan.disassembling = true;
  const TReportItems sections = InitialSections(plan);
  ASSERT_EQ(sections.size(), 5u);
  const char16_t* names[] = {u"main thread ($1):", u"thread $2:", u"modules", u"cpu registers", u"disassembling"};
  for (std::size_t i = 0; i < sections.size(); ++i) {
    EXPECT_EQ(sections[i].first, names[i]);
    EXPECT_EQ(sections[i].second, kSectionPending);
  }
}

}  // namespace
}  // namespace ruvex
