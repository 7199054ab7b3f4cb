#include "launcher/Web.Custom.KVIni.h"

#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "launcher/platform/FakePlatform.h"
#include "launcher/platform/LauncherError.h"

namespace kelvane {
namespace {

class ConfigTest : public ::testing::Test {
 protected:
  std::unique_ptr<Config> Parse(const std::string& utf8) {
    return std::make_unique<Config>(platform, Utf8ToUtf16(utf8));
  }
  FakePlatform platform;
};

TEST_F(ConfigTest, IntegerAndBooleanRules) {
  struct Case { const char* value; std::int32_t integer; bool boolean; };
  const Case cases[] = {
      {"1", 1, true},           {"-1", -1, true},        {"2", 2, true},
      {"0x1", 1, true},         {"$1", 1, true},         {"0", 0, false},
      {"true", 7, false},       {"yes", 7, false},       {"1 ; on", 7, false},  // no inline comments
      {"0x10", 16, true},       {"0X10", 16, true},      {"x10", 16, true},     {"X1f", 31, true},
      {"$FFFFFFFF", -1, true},  {"0x80000000", INT32_MIN, true},
      {"+5", 5, true},          {"-0x10", -16, true},    {"-$10", -16, true},
      {"2147483647", INT32_MAX, true}, {"-2147483648", INT32_MIN, true},
      {"2147483648", 7, false},       {"4294967296", 7, false},  {"$100000000", 7, false},
      {"0x", 7, false},         {"$", 7, false},         {"-", 7, false},       {"", 7, false},
      {"12a", 7, false},        {"1.5", 7, false},       {"0x0x1", 7, false},
      {"$000000010", 16, true},  // leading zeros do not overflow
  };
  for (const Case& c : cases) {
    auto config = Parse(std::string("[Paths]\nKey=") + c.value + "\n");
    EXPECT_EQ(config->ReadInteger(u"Paths", u"Key", 7), c.integer) << c.value;
    EXPECT_EQ(config->ReadBool(u"Paths", u"Key", false), c.boolean) << c.value;
  }
  EXPECT_TRUE(Parse("[Paths]\nKey=yes\n")->ReadBool(u"Paths", u"Key", true));  // the default stands
  EXPECT_EQ(ParseConfigInteger(u" 12"), 12);  // leading spaces are skipped
}

TEST_F(ConfigTest, LinesSectionsAndComments) {
  auto config = Parse(
      "Orphan=before any section\r\n"
      "[Paths] ; x\r\n"
      "Hidden=1\r\n"
      "[PATHS]\r"
      "Browser = 3\n"
      "URL=a\n"
      "  ; a comment\n"
      "#Debug=1\n"
      "HtmlFile=\"quoted value\"  \n"
      "Debug\n"
      "Electron=1\n"
      "[Other]\n"
      "URL=elsewhere\n"
      "[paths]\n"
      "URL=b\n"
      "Electron\n");
  EXPECT_EQ(config->ReadString(u"Paths", u"Orphan", u"-"), u"-");   // before the first header: unseen
  EXPECT_EQ(config->ReadString(u"Paths", u"Hidden", u"-"), u"-");   // "[Paths] ; x" is no header
  EXPECT_EQ(config->ReadInteger(u"Paths", u"Browser", 1), 3);
  EXPECT_EQ(config->ReadInteger(u"paths", u"BROWSER", 1), 3);
  EXPECT_EQ(config->ReadString(u"Paths", u"URL", u""), u"b");        // the later line wins, across merged sections
  EXPECT_EQ(config->ReadString(u"Other", u"URL", u""), u"elsewhere");
  EXPECT_EQ(config->ReadString(u"Paths", u"#Debug", u""), u"1");     // "#" is no comment
  EXPECT_EQ(config->ReadString(u"Paths", u"HtmlFile", u""), u"\"quoted value\"");
  EXPECT_FALSE(config->ReadBool(u"Paths", u"Debug", false));         // a name without value
  EXPECT_FALSE(config->ReadBool(u"Paths", u"Electron", false));      // its last occurrence has no value
  EXPECT_EQ(config->SectionCount(), 2u);
  EXPECT_EQ(config->ReadString(u"Missing", u"URL", u"dflt"), u"dflt");
}

TEST_F(ConfigTest, NamesMatchUnderTheLocalesUpperCase) {
  auto config = Parse("[Ünïcode]\nstraße=1\nÉtat=2\n");
  EXPECT_EQ(config->ReadString(u"ÜNÏCODE", u"ÉTAT", u""), u"2");
  EXPECT_EQ(config->ReadString(u"ünïcode", u"straße", u""), u"1");
}

TEST_F(ConfigTest, EncodingsByByteOrderMark) {
  const std::u16string text = u"[Paths]\r\nHtmlPath=C:\\Web\u00E9\\\u20AC\r\nBrowser=4\r\n";
  const std::string utf8 = "\xEF\xBB\xBF" + Utf16ToUtf8(text);
  std::string utf16le = "\xFF\xFE", utf16be = "\xFE\xFF";
  for (char16_t c : text) {
    utf16le += static_cast<char>(c & 0xFF), utf16le += static_cast<char>(c >> 8);
    utf16be += static_cast<char>(c >> 8), utf16be += static_cast<char>(c & 0xFF);
  }
  const std::string ansi = "[Paths]\r\nHtmlPath=C:\\Web\xE9\\\x80\r\nBrowser=4\r\n";  // Windows-1252
  for (const std::string& bytes : {utf8, utf16le, utf16be, ansi}) {
    platform.AddFile(u"C:\\p\\k.ini", bytes);
    auto config = OpenConfig(platform, u"C:\\p\\k.ini");
    EXPECT_EQ(config->ReadString(u"Paths", u"HtmlPath", u""), u"C:\\Web\u00E9\\\u20AC");
    EXPECT_EQ(config->ReadInteger(u"Paths", u"Browser", 1), 4);
  }
  platform.AddFile(u"C:\\p\\nul.ini", std::string("[Paths]\nURL=a\0\nBrowser=3\n", 26));
  auto cut = OpenConfig(platform, u"C:\\p\\nul.ini");
  EXPECT_EQ(cut->ReadString(u"Paths", u"URL", u""), u"a");
  EXPECT_EQ(cut->ReadInteger(u"Paths", u"Browser", 1), 1);  // after the NUL: unseen
}

TEST_F(ConfigTest, MissingFilesAreEmptyAndUnreadableOnesAreErrors) {
  EXPECT_EQ(OpenConfig(platform, u"")->SectionCount(), 0u);
  EXPECT_EQ(OpenConfig(platform, u"C:\\nowhere.ini")->SectionCount(), 0u);
  platform.AddDirectory(u"C:\\dir.ini");
  EXPECT_EQ(OpenConfig(platform, u"C:\\dir.ini")->SectionCount(), 0u);  // a directory is no file
  platform.AddFile(u"C:\\denied.ini", "[Paths]").accessDenied = true;
  try {
    OpenConfig(platform, u"C:\\denied.ini");
    FAIL() << "an unreadable file must raise";
  } catch (const EFileOpenError& e) {
    EXPECT_EQ(e.Message(), u"Cannot open file \"C:\\denied.ini\". Access is denied.");
  }
}

}  // namespace
}  // namespace kelvane
