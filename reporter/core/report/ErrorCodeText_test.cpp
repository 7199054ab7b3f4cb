#include "reporter/core/report/ErrorCodeText.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

TEST(ErrorCodeTextTest, SystemTextsGoOnOneLineAndUnknownCodesShowTheirNumber) {
  EXPECT_EQ(CleanSystemMessage(u"Access is denied.\r\n"), u"Access is denied.");
  EXPECT_EQ(CleanSystemMessage(u"First line\r\nsecond\nthird\r"), u"First line secondthird");
  EXPECT_EQ(CleanSystemMessage(u""), u"");
  EXPECT_EQ(UnknownErrorText(0xC0000005), u"error code $c0000005");
  EXPECT_EQ(UnknownErrorText(0), u"error code $0");
}

TEST(ErrorCodeTextTest, ScrambledTextsDoNotStandPlainInTheImage) {
  static constexpr TScrambledText kName("ntdll.dll");
  EXPECT_EQ(kName.Plain(), "ntdll.dll");
  EXPECT_EQ(kName.Stored().size(), 9u);
  EXPECT_EQ(kName.Stored().find("ntdll"), std::string_view::npos);
}

}  // namespace
}  // namespace ruvex
