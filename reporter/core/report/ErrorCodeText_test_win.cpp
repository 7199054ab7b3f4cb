#include <windows.h>

#include <gtest/gtest.h>

#include "reporter/core/report/ErrorCodeText.h"

namespace ruvex {
namespace {

TEST(ErrorCodeTextWinTest, TheSystemKnowsCommonCodesAndStatusCodesAreConverted) {
  const std::u16string notFound = ErrorCodeToText(ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(notFound.empty());
  EXPECT_EQ(notFound.find_first_of(u"\r\n"), std::u16string::npos);
  EXPECT_NE(notFound.rfind(u"error code ", 0), 0u);
  // STATUS_ACCESS_VIOLATION converts to a Win32 code the system describes.
  EXPECT_NE(ErrorCodeToText(0xC0000005).rfind(u"error code ", 0), 0u);
  EXPECT_EQ(ErrorCodeToText(0x2000ABCD), u"error code $2000abcd");
}

}  // namespace
}  // namespace ruvex
