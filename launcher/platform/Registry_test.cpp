#include "launcher/platform/Registry.h"

#include <gtest/gtest.h>

#include "launcher/platform/FakePlatform.h"
#include "launcher/platform/Files.h"
#include "launcher/platform/LauncherError.h"

namespace kelvane {
namespace {

constexpr auto HKCR = RegistryRoot::ClassesRoot;

TEST(Registry, ReadsStringsByTheRules) {
  FakePlatform p;
  p.SetString(HKCR, u"ChromeHTML\\shell\\open\\command", u"", u"\"C:\\c\\chrome.exe\" -- \"%1\"");
  p.SetString(HKCR, u"Expand", u"v", u"%ProgramFiles%\\x.exe", kRegExpandSz);
  std::u16string withNul = u"before";
  withNul.push_back(u'\0');
  withNul += u"after";
  p.SetString(HKCR, u"Nul", u"v", withNul);
  p.SetValue(HKCR, u"Dword", u"Count", RegistryValue{kRegDword, std::string("\x01\0\0\0", 4)});

  EXPECT_EQ(ReadKeyString(p, HKCR, u"ChromeHTML\\shell\\open\\command", u""), u"\"C:\\c\\chrome.exe\" -- \"%1\"");
  EXPECT_EQ(ReadKeyString(p, HKCR, u"chromehtml\\SHELL\\open\\command", u""), u"\"C:\\c\\chrome.exe\" -- \"%1\"");
  EXPECT_EQ(ReadKeyString(p, HKCR, u"Expand", u"v"), u"%ProgramFiles%\\x.exe");  // not expanded
  EXPECT_EQ(ReadKeyString(p, HKCR, u"Nul", u"v"), u"before");
  EXPECT_EQ(ReadKeyString(p, HKCR, u"Nul", u"missing"), u"");
  EXPECT_EQ(ReadKeyString(p, HKCR, u"NoSuchKey", u"v"), u"");
  try {
    ReadKeyString(p, HKCR, u"Dword", u"Count");
    FAIL() << "a DWORD read as a string must raise";
  } catch (const ERegistryError& e) {
    EXPECT_EQ(e.Message(), u"Invalid data type for 'Count'");
  }
}

TEST(Registry, NamesCountFromTheRootAndAccessFallsBack) {
  FakePlatform p;
  p.AddKey(HKCR, u"FirefoxHTML-1");
  p.AddKey(HKCR, u"Other");
  EXPECT_TRUE(OpenKeyReadOnly(p, HKCR, u"\\FirefoxHTML-1"));
  const auto root = OpenKeyReadOnly(p, HKCR, u"\\");
  ASSERT_TRUE(root);
  EXPECT_EQ(root->SubkeyNames(), (std::vector<std::u16string>{u"FirefoxHTML-1", u"Other"}));

  // A key that refuses the notify right still opens, with the narrower rights.
  p.AddKey(HKCR, u"Narrow").grantedAccess = kKeyReadAndList;
  EXPECT_TRUE(OpenKeyReadOnly(p, HKCR, u"Narrow"));
  EXPECT_TRUE(KeyExists(p, HKCR, u"Narrow"));
  // One that only lets values be read opens last, but does not "exist".
  p.SetString(HKCR, u"QueryOnly", u"v", u"text");
  p.AddKey(HKCR, u"QueryOnly").grantedAccess = kKeyQueryValue;
  EXPECT_EQ(ReadKeyString(p, HKCR, u"QueryOnly", u"v"), u"text");
  EXPECT_FALSE(KeyExists(p, HKCR, u"QueryOnly"));
  EXPECT_FALSE(KeyExists(p, HKCR, u"Missing"));
}

TEST(ReadWholeFile, ReportsTheFullPathAndSystemText) {
  FakePlatform p;
  p.currentDirectory = u"C:\\Work";
  p.AddFile(u"project.ini", "[Paths]").locked = true;
  EXPECT_TRUE(p.FileExists(u"project.ini"));  // a locked file exists
  try {
    ReadWholeFile(p, u"project.ini");
    FAIL() << "a locked file must not be read";
  } catch (const EFileOpenError& e) {
    EXPECT_EQ(e.Message(),
              u"Cannot open file \"C:\\Work\\project.ini\". The process cannot access the file because it is "
              u"being used by another process.");
  }
}

}  // namespace
}  // namespace kelvane
