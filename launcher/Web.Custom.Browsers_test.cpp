#include "launcher/Web.Custom.Browsers.h"

#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "launcher/platform/FakePlatform.h"
#include "launcher/platform/LauncherError.h"

namespace kelvane {
namespace {

constexpr RegistryRoot kCR = RegistryRoot::ClassesRoot;
constexpr RegistryRoot kCU = RegistryRoot::CurrentUser;

class BrowsersTest : public ::testing::Test {
 protected:
  // A Firefox install: its command key and the application.ini beside it.
  void AddFirefox(const std::u16string& progId, const std::u16string& folder, const std::string& codeName) {
    platform.SetString(kCR, progId + u"\\shell\\open\\command", u"",
                       u"\"" + folder + u"\\firefox.exe\" -osint -url \"%1\"");
    platform.AddFile(folder + u"\\firefox.exe");
    platform.AddFile(folder + u"\\application.ini", "[App]\r\nVendor=Mozilla\r\nCodeName=" + codeName + "\r\n");
  }
  void SetLegacyChoice(const std::u16string& progId) {
    platform.SetString(kCU, choice_keys::kUserChoice, u"ProgId", progId);
  }
  FakePlatform platform;
};

TEST_F(BrowsersTest, ExtractExePathKeepsTheExecutableAndItsClosingQuote) {
  const struct { const char16_t* command; const char16_t* exe; } cases[] = {
      {u"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" -osint -url \"%1\"",
       u"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\""},
      {u"C:\\x\\chrome.EXE --flag", u"C:\\x\\chrome.EXE"},
      {u"C:\\x\\a.exe.exe", u"C:\\x\\a.exe"},           // the first ".exe" ends it
      {u"C:\\x\\browser --single", u"C:\\x\\browser --single"},  // no ".exe": whole text
      {u"\"C:\\x\\b.exe", u"\"C:\\x\\b.exe"},            // the leading quote stays
      {u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtractExePath(platform, c.command), c.exe) << Utf16ToUtf8(c.command);
}

TEST_F(BrowsersTest, UnquoteTable) {
  const struct { const char16_t* text; const char16_t* result; } cases[] = {
      {u"\"C:\\a b\\x.exe\"", u"C:\\a b\\x.exe"},     // fully quoted
      {u"\"C:\\x.exe\" -arg", u"C:\\x.exe"},          // quoted path, then arguments
      {u"\"C:\\x.exe", u"\"C:\\x.exe"},               // no closing quote: unchanged
      {u"\"\"", u""},                                 // two quotes: empty
      {u"\"\" x", u"\"\" x"},                         // empty inside, not ending in a quote
      {u"\"a\"\"b\"", u"a\"b"},                       // doubled quote inside
      {u"\"ab\"\"\"", u"ab\""},
      {u"C:\\plain.exe", u"C:\\plain.exe"},
      {u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(Unquote(c.text), c.result) << Utf16ToUtf8(c.text);
}

TEST_F(BrowsersTest, DefaultBrowserFromTheProgId) {
  const struct { const char16_t* progId; BrowserKind kind; } cases[] = {
      {u"ChromeHTML", BrowserKind::Chrome},         {u"MSEdgeHTM", BrowserKind::Edge},
      {u"OperaStable", BrowserKind::Opera},         {u"IE.HTTP", BrowserKind::Default},
      {u"Applications\\iexplore.exe", BrowserKind::InternetExplorer},
      {u"EdgeChromeMix", BrowserKind::Chrome},      // "chrome" is tested before "edge"
      {u"C:\\x\\opera.exe\\chrome", BrowserKind::Opera},  // only the part up to ".exe" counts
      {u"SafariURL", BrowserKind::Default},         {u"", BrowserKind::Default},
      {u"FirefoxURL-308046B0AF4A39CB", BrowserKind::Firefox},  // no such key: the normal edition
  };
  for (const auto& c : cases) {
    SetLegacyChoice(c.progId);
    EXPECT_EQ(DetectDefaultBrowser(platform), c.kind) << Utf16ToUtf8(c.progId);
  }
  FakePlatform bare;
  EXPECT_EQ(DetectDefaultBrowser(bare), BrowserKind::Default);  // no UserChoice key at all
}

TEST_F(BrowsersTest, TheCurrentChoiceWinsOverTheStaleLegacyOne) {
  SetLegacyChoice(u"ChromeHTML");
  platform.SetString(kCU, choice_keys::kUserChoiceLatest, u"ProgId", u"MSEdgeHTM");
  EXPECT_EQ(DetectDefaultBrowser(platform), BrowserKind::Edge);
  // An empty current choice, or a key without the value, leaves the legacy one in force.
  platform.SetString(kCU, choice_keys::kUserChoiceLatest, u"ProgId", u"");
  EXPECT_EQ(DetectDefaultBrowser(platform), BrowserKind::Chrome);
  FakePlatform other;
  other.AddKey(kCU, choice_keys::kUserChoiceLatest);
  other.SetString(kCU, choice_keys::kUserChoice, u"ProgId", u"OperaStable");
  EXPECT_EQ(DetectDefaultBrowser(other), BrowserKind::Opera);
}

TEST_F(BrowsersTest, DefaultFirefoxEditionToldByApplicationIni) {
  AddFirefox(u"FirefoxURL-1", u"C:\\FF", "Firefox");
  AddFirefox(u"FirefoxURL-2", u"C:\\FFDev", "Firefox Developer EDITION");
  SetLegacyChoice(u"FirefoxURL-1");
  EXPECT_EQ(DetectDefaultBrowser(platform), BrowserKind::Firefox);
  SetLegacyChoice(u"FirefoxURL-2");
  EXPECT_EQ(DetectDefaultBrowser(platform), BrowserKind::FirefoxDeveloper);
  // A Firefox ProgId whose command key holds no command cannot be told apart.
  platform.SetString(kCR, u"FirefoxURL-2\\shell\\open\\command", u"", u"");
  EXPECT_THROW(DetectDefaultBrowser(platform), EPathError);
}

TEST_F(BrowsersTest, FirefoxCommandPicksTheWantedEdition) {
  AddFirefox(u"FirefoxHTML", u"C:\\FF", "Firefox");
  EXPECT_EQ(FirefoxCommand(platform, false), u"\"C:\\FF\\firefox.exe\"");
  // Only the normal edition: asking for the Developer Edition gives the last one examined.
  EXPECT_EQ(FirefoxCommand(platform, true), u"\"C:\\FF\\firefox.exe\"");

  AddFirefox(u"FirefoxHTML-ABCDEF", u"C:\\FFDev", "Firefox Developer Edition");
  EXPECT_EQ(FirefoxCommand(platform, true), u"\"C:\\FFDev\\firefox.exe\"");
  EXPECT_EQ(FirefoxCommand(platform, false), u"\"C:\\FF\\firefox.exe\"");

  FakePlatform none;
  EXPECT_EQ(FirefoxCommand(none, false), u"");
}

TEST_F(BrowsersTest, FirefoxScanMeetsAKeyWithoutCommand) {
  AddFirefox(u"FirefoxHTML-Dev", u"C:\\FFDev", "Firefox Developer Edition");
  platform.AddKey(kCR, u"OldFirefoxHTML");  // listed after it, holding no command
  // The Developer Edition is found before the broken key is reached...
  EXPECT_EQ(FirefoxCommand(platform, true), u"\"C:\\FFDev\\firefox.exe\"");
  // ...but the search for the normal edition goes on to it and fails there.
  EXPECT_THROW(FirefoxCommand(platform, false), EPathError);
}

TEST_F(BrowsersTest, EdgeInstalledNeedsItsExecutableOnDisk) {
  EXPECT_FALSE(EdgeInstalled(platform));  // no key
  platform.SetString(kCR, u"MSEdgeHTM\\shell\\open\\command", u"",
                     u"\"C:\\Edge\\msedge.exe\" --single-argument %1");
  EXPECT_FALSE(EdgeInstalled(platform));  // key, but no file
  platform.AddFile(u"C:\\Edge\\msedge.exe");
  EXPECT_TRUE(EdgeInstalled(platform));
  EXPECT_FALSE(FileExistsUnquoted(platform, u""));
  EXPECT_FALSE(FileExistsUnquoted(platform, u"\"\""));
}

TEST_F(BrowsersTest, RegistryAndIniErrorsPassThrough) {
  platform.SetValue(kCR, u"ChromeHTML\\shell\\open\\command", u"", RegistryValue{kRegDword, std::string(4, '\0')});
  EXPECT_THROW(BrowserCommandExe(platform, u"ChromeHTML\\shell\\open\\command"), ERegistryError);
  EXPECT_EQ(BrowserCommandExe(platform, u"Missing\\shell\\open\\command"), u"");

  AddFirefox(u"FirefoxHTML", u"C:\\FF", "Firefox");
  platform.AddFile(u"C:\\FF\\application.ini", "[App]\r\nCodeName=Firefox Developer Edition\r\n").locked = true;
  EXPECT_THROW(IsFirefoxDeveloperEdition(platform, u"\"C:\\FF\\firefox.exe\""), EFileOpenError);
  EXPECT_THROW(IsFirefoxDeveloperEdition(platform, u"   "), EPathError);
  EXPECT_THROW(IsFirefoxDeveloperEdition(platform, std::u16string(300, u'a')), EPathError);
  EXPECT_FALSE(IsFirefoxDeveloperEdition(platform, u"C:\\Nowhere\\firefox.exe"));
}

}  // namespace
}  // namespace kelvane
