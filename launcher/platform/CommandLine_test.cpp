#include "launcher/platform/CommandLine.h"

#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "launcher/platform/FakePlatform.h"

namespace kelvane {
namespace {

using Params = std::vector<std::u16string>;

TEST(SplitCommandLine, SplitsQuotesAndBlanks) {
  struct Case { std::u16string line; Params expected; };
  const Case cases[] = {
      {u"prog.exe a b", {u"prog.exe", u"a", u"b"}},
      {u"  prog.exe\t a\r\n b  ", {u"prog.exe", u"a", u"b"}},
      {u"\"C:\\Program Files\\k.exe\" \"x y.ini\"", {u"C:\\Program Files\\k.exe", u"x y.ini"}},
      {u"p a\"b c\"d", {u"p", u"ab cd"}},                      // quotes inside a parameter group too
      {u"p \"\" x", {u"p", u"x"}},                              // an empty quoted parameter vanishes
      {u"p \"\"\"\"x", {u"p", u"x"}},                           // so do several leading pairs
      {u"p x\"\"y", {u"p", u"xy"}},
      {u"p \"unterminated stretch", {u"p", u"unterminated stretch"}},
      {u"p a\\\"b", {u"p", u"a\\b"}},                           // no escape character
      {u"p /configfile:\"C:\\My Dir\\k.ini\"", {u"p", u"/configfile:C:\\My Dir\\k.ini"}},
      {u"", {}},
      {std::u16string(u"p a\0b", 5), {u"p", u"a"}},             // a NUL ends the text
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.expected) << Utf16ToUtf8(c.line);
}

TEST(ProgramParameters, ParameterZeroIsTheModulesFullPath) {
  FakePlatform platform;
  platform.moduleFileName = u"C:\\Tools\\Kelvane.exe";
  platform.commandLine = u"Kelvane /help";
  EXPECT_EQ(ProgramParameters(platform), (Params{u"C:\\Tools\\Kelvane.exe", u"/help"}));
  platform.commandLine = u"";
  EXPECT_EQ(ProgramParameters(platform), (Params{u"C:\\Tools\\Kelvane.exe"}));
}

}  // namespace
}  // namespace kelvane
