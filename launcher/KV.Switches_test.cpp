#include "launcher/KV.Switches.h"

#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "launcher/KV.Work.h"
#include "launcher/platform/FakePlatform.h"

namespace kelvane {
namespace {

// The executable is C:\Tools\Project1.exe, the current folder C:\Work.
class SwitchesTest : public ::testing::Test {
 protected:
  void CommandLine(const std::u16string& arguments) { platform.commandLine = u"Project1.exe " + arguments; }
  FakePlatform platform;
};

TEST_F(SwitchesTest, HelpSwitchForms) {
  const struct { const char16_t* arguments; bool help; } cases[] = {
      {u"/help", true},  {u"-HELP", true},      {u"/Help", true},   {u"x.ini /configfile:y -hElP", true},
      {u"--help", false}, {u"/help:x", false},  {u"/?", false},     {u"help", false},
      {u"", false},       {u"\"/help \"", false}, {u"/", false},
  };
  for (const auto& c : cases) {
    CommandLine(c.arguments);
    EXPECT_EQ(HelpRequested(platform), c.help) << Utf16ToUtf8(c.arguments);
  }
  platform.commandLine = u"/help";  // parameter 0 is never a switch
  EXPECT_FALSE(HelpRequested(platform));
}

TEST_F(SwitchesTest, ConfigFileSwitchForms) {
  platform.AddFile(u"C:\\Work\\here.ini");
  platform.AddFile(u"C:\\Tools\\project.ini");
  platform.AddFile(u"C:\\Tools\\Kelvane.ini");
  const struct { const char16_t* arguments; const char16_t* name; } cases[] = {
      {u"/configfile:C:\\x.ini", u"C:\\x.ini"},
      {u"/configfileC:\\x.ini", u"C:\\x.ini"},
      {u"-configfile \"C:\\a b.ini\"", u"C:\\a b.ini"},
      {u"/CONFIGFILE:x.ini", u"x.ini"},
      {u"/configfiles.ini", u"s.ini"},
      {u"/configfile:missing.ini here.ini", u"missing.ini"},  // no existence test, no fallback
      {u"/configfile", u""},
      {u"here.ini /configfile /other", u""},                  // the switch suppresses parameter 1
      {u"/configfile: other.ini", u""},
      {u"/configfile:a.ini /configfile:b.ini", u"a.ini"},     // the first one counts
      {u"/CONFİGFILE:x.ini", u"C:\\Tools\\Kelvane.ini"},        // only ASCII letters fold
      {u"here.ini", u"here.ini"},                             // found in the current folder
      {u"project.ini", u"C:\\Tools\\project.ini"},            // found beside the executable
      {u"nowhere.ini", u"C:\\Tools\\Kelvane.ini"},
      {u"", u"C:\\Tools\\Kelvane.ini"},
  };
  for (const auto& c : cases) {
    CommandLine(c.arguments);
    EXPECT_EQ(LocateConfigFile(platform), c.name) << Utf16ToUtf8(c.arguments);
  }
  FakePlatform bare;
  EXPECT_EQ(LocateConfigFile(bare), u"C:\\Tools\\Kelvane.ini");  // returned even though it is missing
}

TEST_F(SwitchesTest, ConfigFilePathErrors) {
  CommandLine(u"a|b.ini");
  EXPECT_THROW(LocateConfigFile(platform), EPathError);
  platform.moduleFileName = u"C:\\" + std::u16string(300, u'x') + u"\\Project1.exe";
  CommandLine(u"");
  EXPECT_THROW(LocateConfigFile(platform), EPathError);
}

TEST_F(SwitchesTest, HelpModeWritesTheSwitchesAndReadsOneLine) {
  CommandLine(u"/configfile:C:\\Work\\p.ini /help");
  platform.AddFile(u"C:\\Work\\p.ini", "[Paths]\nURL=http://x\nBrowser=0\n");
  EXPECT_EQ(RunMainWithErrorBox(platform), 0);
  EXPECT_EQ(platform.standardOutput,
            u"Switches: \r\nConfiguration file, example /configfile:C:\\Temp\\Kelvane.ini\r\n"
            u"help, example /help\r\n\r\n");
  EXPECT_EQ(platform.standardInputLinesRead, 1);
  EXPECT_TRUE(platform.shellRequests.empty());
  EXPECT_TRUE(platform.processes.empty());
}

TEST_F(SwitchesTest, HelpModeStreamErrorsReachTheErrorBox) {
  const struct { std::uint32_t outError, inError; const char16_t* text; int linesRead; } cases[] = {
      {105, 0, u"I/O error 105", 0},  // no standard output: nothing is read
      {0, 6, u"I/O error 6", 0},
  };
  for (const auto& c : cases) {
    FakePlatform fake;
    fake.commandLine = u"Project1.exe /help";
    fake.standardOutputError = c.outError;
    fake.standardInputError = c.inError;
    try {
      WriteHelp(fake);
      FAIL() << "no error";
    } catch (const EInOutError& error) {
      EXPECT_EQ(error.Message(), c.text);
      EXPECT_EQ(error.Code(), c.outError ? c.outError : c.inError);
    }
    EXPECT_EQ(fake.standardInputLinesRead, c.linesRead);
    EXPECT_EQ(RunMainWithErrorBox(fake), 1);
    ASSERT_EQ(fake.errorBoxes.size(), 1u);
    EXPECT_EQ(fake.errorBoxes[0].title, u"Application Error");
    EXPECT_NE(fake.errorBoxes[0].text.find(u"Exception EInOutError in module Project1.exe at "),
              std::u16string::npos);
    EXPECT_NE(fake.errorBoxes[0].text.find(std::u16string(u".\r\n") + c.text + u".\r\n"), std::u16string::npos);
  }
}

TEST_F(SwitchesTest, LaunchErrorsSetExitCodeOneAndTravelOn) {
  CommandLine(u"/configfile:C:\\Work\\p.ini");
  platform.AddFile(u"C:\\Work\\p.ini", "[Paths]\nURL=x\nSingleInstance=1\nDebugManager=C:\\Dbg\\Gone.exe\n");
  int exitCode = 0;
  EXPECT_THROW(Main(platform, exitCode), EKelvaneWork);
  EXPECT_EQ(exitCode, 1);

  EXPECT_EQ(RunMainWithErrorBox(platform), 1);
  ASSERT_EQ(platform.errorBoxes.size(), 1u);
  const std::u16string& text = platform.errorBoxes[0].text;
  const std::u16string head = u"Exception EKelvaneWork in module Project1.exe at ";
  ASSERT_EQ(text.substr(0, head.size()), head);
  const size_t digits = 2 * sizeof(void*);
  const std::u16string address = text.substr(head.size(), digits);
  EXPECT_EQ(address.find_first_not_of(u"0123456789ABCDEF"), std::u16string::npos) << Utf16ToUtf8(address);
  // The message ends in "!", so a "." follows it.
  EXPECT_EQ(text.substr(head.size() + digits),
            u".\r\nThe Zarvel DBG manager [C:\\Dbg\\Gone.exe] doesn't exist!.\r\n");
}

TEST_F(SwitchesTest, ErrorBoxTextAddsAFullStopOnlyWhenMissing) {
  const struct { const char16_t* message; const char16_t* tail; } cases[] = {
      {u"Invalid characters in path", u"Invalid characters in path.\r\n"},
      {u"Done.", u"Done.\r\n"},
      {u"", u"\r\n"},
  };
  for (const auto& c : cases) {
    const std::u16string text = ApplicationErrorText(u"EPathError", u"Kelvane.exe", 0x4010AB, c.message);
    const std::u16string pointer = sizeof(void*) == 4 ? u"004010AB" : u"00000000004010AB";
    EXPECT_EQ(text, u"Exception EPathError in module Kelvane.exe at " + pointer + u".\r\n" + c.tail);
  }
}

TEST_F(SwitchesTest, LocalTargetMissingGivesExitCodeOneWithoutABox) {
  CommandLine(u"");  // no parameters, no Kelvane.ini, no Project1.html
  EXPECT_EQ(RunMainWithErrorBox(platform), 1);
  EXPECT_TRUE(platform.errorBoxes.empty());
  platform.AddFile(u"C:\\Tools\\Project1.html");
  EXPECT_EQ(RunMainWithErrorBox(platform), 0);
  ASSERT_EQ(platform.shellRequests.size(), 1u);
  EXPECT_EQ(platform.shellRequests[0].file, u"C:\\Tools\\Project1.html");
}

}  // namespace
}  // namespace kelvane
