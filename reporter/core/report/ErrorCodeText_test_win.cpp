#include <windows.h>

#include <gtest/gtest.h>

#include "reporter/core/report/ErrorCodeText.h"

#include <string>

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


// The system's own text for a Win32 code, on one line; empty when it has none.
std::u16string SystemText(DWORD code) {
  wchar_t buffer[2048];
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                 MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, 2048, nullptr);
  return CleanSystemMessage(std::u16string(reinterpret_cast<const char16_t*>(buffer), n));
}

TEST(ErrorCodeTextWinTest, AgreesWithTheSystemsMessagesForATableOfCodes) {
  struct TCase {
    std::uint32_t code;
    DWORD win32;  // the code the system describes
  } cases[] = {
      {ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND},
      {ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
      {ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},
      {ERROR_NOACCESS, ERROR_NOACCESS},
      {0xC0000005, ERROR_NOACCESS},               // access violation: 998
      {0xC0000034, ERROR_FILE_NOT_FOUND},         // object name not found
      {0xC0000022, ERROR_ACCESS_DENIED},
      {10061, 10061},                             // connection refused
      {ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY},
  };
  for (const auto& c : cases) {
    const std::u16string expected = SystemText(c.win32);
    ASSERT_FALSE(expected.empty()) << "the system describes " << c.win32;
    EXPECT_EQ(ErrorCodeToText(c.code), expected) << std::hex << c.code;
  }
  // What the system does not know gets the fixed form.
  EXPECT_TRUE(SystemText(0x2000ABCD).empty());
  EXPECT_EQ(ErrorCodeToText(0x2000ABCD), UnknownErrorText(0x2000ABCD));
}

}  // namespace
}  // namespace ruvex
