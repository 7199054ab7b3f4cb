#include "reporter/core/properties/SettingsText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "reporter/core/properties/PasswordCipher.h"
#include "reporter/core/properties/SettingsBlock.h"

using namespace ruvex;

namespace {
std::string FixtureFile(const std::string& name) {
  const char* root = std::getenv("KELVANE_SOURCE_DIR");
  std::ifstream in(std::string(root ? root : ".") + "/reporter/core/properties/fixtures/settings/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}
}  // namespace

TEST(SettingsText, ReadsTheComponentTextFormLikeTheIndependentWriter) {
  // The same description through our reader and writer, and through fpc.
  std::string description = FixtureFile("invalid-type.txt");
  description = description.substr(0, description.find("  FreezeTimeout")) + "end\n";
  TSettingsTextResult text = ParseSettingsText(description);
  std::string fpc = FixtureFile("invalid-type.bin");
  ASSERT_TRUE(text.Ok()) << text.error;
  ASSERT_EQ(text.properties.size(), 3u);
  std::string ours = *WriteSettingsBlock(text.properties);
  EXPECT_EQ(ours.substr(0, ours.size() - 2), fpc.substr(0, ours.size() - 2));
}

TEST(SettingsText, ValuesOfEveryKind) {
  auto r = ParseSettingsText(
      "\xEF\xBB\xBF# comment\r\n// another\n\nEnabled = true\nAutoDelay=-12\nHttpPort = $1F90\n"
      "VersionVar = $FFFFFFFF\nExceptMsg = 'It''s '#1046'!'\nMailAddr = ''\nTitleBar = 'K\xc3\xb6lvane'");
  ASSERT_TRUE(r.Ok()) << r.error;
  ASSERT_EQ(r.properties.size(), 7u);
  EXPECT_TRUE(r.properties[0].vBool);
  EXPECT_EQ(r.properties[1].vInt, -12);
  EXPECT_EQ(r.properties[2].vInt, 8080);
  EXPECT_EQ(r.properties[3].vInt, -1);
  EXPECT_EQ(r.properties[4].Str(), u"It's \u0416!");
  EXPECT_EQ(r.properties[5].typ, ptString);
  EXPECT_EQ(r.properties[5].Str(), u"");
  EXPECT_EQ(r.properties[6].Str(), u"K\u00f6lvane");
  // And back through the text form.
  auto again = ParseSettingsText(FormatSettingsText(r.properties));
  ASSERT_TRUE(again.Ok()) << again.error;
  EXPECT_EQ(*WriteSettingsBlock(again.properties), *WriteSettingsBlock(r.properties));
}

TEST(SettingsText, ErrorsNameTheLine) {
  struct TCase { const char* text; const char* error; };
  const TCase cases[] = {
      {"Enabled = True\nAutoDelay", "line 2: expected Name = value"},
      {"Bad Name = 1", "line 1: bad property name 'Bad Name'"},
      {"ExceptMsg = 'open", "line 1: unterminated string"},
      {"AutoDelay = 99999999999", "line 1: value of AutoDelay is neither True, False, an integer, an identifier nor a quoted string"},
      {"ExceptMsg = #70000", "line 1: bad character code after '#'"},
      {"ExceptMsg = 'a' b", "line 1: unexpected text in string value"},
      {"AutoDelay = 1 2", "line 1: value of AutoDelay is neither True, False, an integer, an identifier nor a quoted string"},
      {"object X: TOther\nend", "line 1: the object must be \"RuvexExcept: TRuvexExcept\""},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseSettingsText(c.text).error, c.error) << c.text;
}

TEST(SettingsText, PasswordsAreStoredEnciphered) {
  auto r = ParseSettingsText("HttpServer = 'h'\nBugTrAccount = 'me'\nBugTrPassword = 'pw'\nSmtpPassword = ''");
  EncipherPasswords(r.properties);
  EXPECT_EQ(DecipherPassword(r.properties[2].Str(), u"me", u"h"), std::optional<std::u16string>(u"pw"));
  EXPECT_EQ(r.properties[3].Str(), u"");
}
