#include "launcher/KV.Run.h"

#include <gtest/gtest.h>

#include "common/text/Format.h"
#include "common/text/Utf.h"
#include "launcher/KV.Work.h"
#include "launcher/Web.Custom.KVIni.h"
#include "launcher/platform/FakePlatform.h"

namespace kelvane {
namespace {

constexpr RegistryRoot kCR = RegistryRoot::ClassesRoot;
constexpr char16_t kTarget[] = u"http://localhost:8000/Project1.html";

// Every browser registered, each executable present on disk.
class LaunchTest : public ::testing::Test {
 protected:
  LaunchTest() {
    Register(u"ChromeHTML", u"\"C:\\Chrome\\chrome.exe\" --single-argument %1");
    Register(u"MSEdgeHTM", u"\"C:\\Edge\\msedge.exe\" --single-argument %1");
    Register(u"Applications\\iexplore.exe", u"\"C:\\IE\\iexplore.exe\" %1");
    Register(u"Applications\\opera.exe", u"C:\\Opera\\opera.exe \"%1\"");
    Register(u"FirefoxHTML", u"\"C:\\FF\\firefox.exe\" -osint -url \"%1\"");
    Register(u"FirefoxHTML-DEV", u"\"C:\\FFDev\\firefox.exe\" -osint -url \"%1\"");
    for (const char16_t* exe : {u"C:\\Chrome\\chrome.exe", u"C:\\Edge\\msedge.exe", u"C:\\IE\\iexplore.exe",
                                u"C:\\Opera\\opera.exe", u"C:\\FF\\firefox.exe", u"C:\\FFDev\\firefox.exe",
                                u"C:\\Dbg\\DbgManager.exe"})
      platform.AddFile(exe);
    platform.AddFile(u"C:\\FF\\application.ini", "[App]\nCodeName=Firefox\n");
    platform.AddFile(u"C:\\FFDev\\application.ini", "[App]\nCodeName=Firefox Developer Edition\n");
  }
  void Register(const std::u16string& progId, const std::u16string& command) {
    platform.SetString(kCR, progId + u"\\shell\\open\\command", u"", command);
  }
  void Launch(BrowserKind browser, const std::string& ini, const std::u16string& target = kTarget) {
    const Config config(platform, Utf8ToUtf16("[Paths]\n" + ini));
    LaunchInBrowser(platform, target, browser, config);
  }
  std::vector<std::u16string> CommandLines() const {
    std::vector<std::u16string> lines;
    for (const auto& p : platform.processes) lines.push_back(p.commandLine);
    return lines;
  }
  FakePlatform platform;
};

TEST_F(LaunchTest, StartProcessFillsEveryField) {
  EXPECT_TRUE(StartProcess(platform, u"\"C:\\a b\\x.exe\"", u"arg \"q\"", u"D:\\work", true));
  EXPECT_TRUE(StartProcess(platform, u"prog", u"", u"", false));
  ASSERT_EQ(platform.processes.size(), 2u);
  const ProcessStartRequest& shown = platform.processes[0];
  EXPECT_EQ(shown.commandLine, u"\"C:\\a b\\x.exe\" arg \"q\"");  // nothing quoted or escaped
  EXPECT_TRUE(shown.inheritHandles);
  EXPECT_EQ(shown.creationFlags, 0x04000020u);
  EXPECT_EQ(shown.currentDirectory, u"D:\\work");
  EXPECT_EQ(shown.startupFlags, 1u);  // STARTF_USESHOWWINDOW
  EXPECT_EQ(shown.showWindow, 1);
  const ProcessStartRequest& hidden = platform.processes[1];
  EXPECT_EQ(hidden.commandLine, u"prog");  // no trailing space without arguments
  EXPECT_EQ(hidden.currentDirectory, u"");
  EXPECT_EQ(hidden.showWindow, 0);
  platform.createProcessSucceeds = false;
  EXPECT_FALSE(StartProcess(platform, u"prog", u"", u"", true));

  ShellOpen(platform, u"C:\\site\\a.html");
  ASSERT_EQ(platform.shellRequests.size(), 1u);
  const ShellExecuteRequest& shell = platform.shellRequests[0];
  EXPECT_EQ(shell.verb, u"open");
  EXPECT_EQ(shell.file, u"C:\\site\\a.html");
  EXPECT_EQ(shell.parameters, u"");
  EXPECT_EQ(shell.directory, u"");
  EXPECT_EQ(shell.mask, 0u);
  EXPECT_EQ(shell.show, 1);
}

TEST_F(LaunchTest, EachBrowserValueStartsItsProgram) {
  const std::u16string target = kTarget;
  const struct { int value; const char* ini; const char16_t* commandLine; } cases[] = {
      {3, "", u"\"C:\\Chrome\\chrome.exe\" "},
      {3, "Debug=1", u"\"C:\\Chrome\\chrome.exe\"--auto-open-devtools-for-tabs "},  // glued, no space
      {4, "Debug=1", u"\"C:\\FF\\firefox.exe\" "},
      {5, "", u"\"C:\\Edge\\msedge.exe\" "},
      {5, "Debug=1", u"\"C:\\Edge\\msedge.exe\"--auto-open-devtools-for-tabs "},
      {6, "Debug=1", u"\"C:\\IE\\iexplore.exe\" "},
      {7, "Debug=1", u"C:\\Opera\\opera.exe "},
      {8, "Debug=1", u"\"C:\\FFDev\\firefox.exe\" "},
      {3, "SingleInstance=1", u"\"C:\\Chrome\\chrome.exe\" "},         // no DebugManager: browsers as usual
      {3, "DebugManager=C:\\Dbg\\DbgManager.exe", u"\"C:\\Chrome\\chrome.exe\" "},  // ignored without SingleInstance
  };
  for (const auto& c : cases) {
    platform.processes.clear();
    Launch(static_cast<BrowserKind>(c.value), c.ini);
    ASSERT_EQ(platform.processes.size(), 1u) << c.value << " " << c.ini;
    EXPECT_EQ(platform.processes[0].commandLine, c.commandLine + target) << c.value << " " << c.ini;
    EXPECT_EQ(platform.processes[0].showWindow, 1);
    EXPECT_TRUE(platform.shellRequests.empty());
  }
}

TEST_F(LaunchTest, ShellTakesTheTargetForNoneAndUnknownValues) {
  for (int value : {0, 9, 255}) {
    FakePlatform bare;  // no registry at all: nothing is looked up
    const Config config(bare, u"[Paths]\nDebug=1\n");
    LaunchInBrowser(bare, kTarget, static_cast<BrowserKind>(value), config);
    ASSERT_EQ(bare.shellRequests.size(), 1u) << value;
    EXPECT_EQ(bare.shellRequests[0].file, kTarget);
    EXPECT_TRUE(bare.processes.empty());
  }
}

TEST_F(LaunchTest, EdgeWithoutItsExecutableGoesThroughItsProtocol) {
  platform.AddFile(u"C:\\Edge\\msedge.exe").directory = true;  // gone: a folder of that name
  Launch(BrowserKind::Edge, "Debug=1");
  EXPECT_TRUE(platform.processes.empty());
  ASSERT_EQ(platform.shellRequests.size(), 1u);
  EXPECT_EQ(platform.shellRequests[0].file, u"microsoft-edge:" + std::u16string(kTarget));
}

TEST_F(LaunchTest, MissingBrowserFailsSilently) {
  FakePlatform bare;
  const Config config(bare, u"[Paths]\nDebug=1\n");
  LaunchInBrowser(bare, kTarget, BrowserKind::Chrome, config);
  LaunchInBrowser(bare, kTarget, BrowserKind::Opera, config);
  ASSERT_EQ(bare.processes.size(), 2u);
  EXPECT_EQ(bare.processes[0].commandLine, u"--auto-open-devtools-for-tabs " + std::u16string(kTarget));
  EXPECT_EQ(bare.processes[1].commandLine, u" " + std::u16string(kTarget));
}

TEST_F(LaunchTest, AllStartsSixBrowsersInOrder) {
  Launch(BrowserKind::All, "");
  EXPECT_EQ(CommandLines(), (std::vector<std::u16string>{
                                u"\"C:\\Chrome\\chrome.exe\" " + std::u16string(kTarget),
                                u"\"C:\\FF\\firefox.exe\" " + std::u16string(kTarget),
                                u"\"C:\\Edge\\msedge.exe\" " + std::u16string(kTarget),
                                u"\"C:\\IE\\iexplore.exe\" " + std::u16string(kTarget),
                                u"C:\\Opera\\opera.exe " + std::u16string(kTarget),
                                u"\"C:\\FFDev\\firefox.exe\" " + std::u16string(kTarget),
                            }));
}

TEST_F(LaunchTest, DebugManagerReceivesTheTargetAndTheBrowserValue) {
  const std::u16string target = u"http://h/a\"b";  // a quote in the target stays as it is
  const std::string manager = "SingleInstance=1\nDebugManager=C:\\Dbg\\DbgManager.exe\n";
  Launch(BrowserKind::All, manager + "Debug=1\n", target);
  std::vector<std::u16string> expected;
  for (int value = 3; value <= 8; ++value)
    expected.push_back(u"C:\\Dbg\\DbgManager.exe /url:\"http://h/a\"b\" /browser:" + DecimalText(value) +
                       u" /debug");
  EXPECT_EQ(CommandLines(), expected);
  for (const auto& p : platform.processes) EXPECT_EQ(p.showWindow, 0);  // hidden

  const struct { const char16_t* progId; int value; } defaults[] = {{u"ChromeHTML", 3}, {u"Unknown", 1}};
  for (const auto& d : defaults) {
    platform.processes.clear();
    platform.SetString(RegistryRoot::CurrentUser, u"Software\\Microsoft\\Windows\\Shell\\Associations\\"
                       u"UrlAssociations\\http\\UserChoice", u"ProgId", d.progId);
    Launch(BrowserKind::Default, manager, kTarget);
    EXPECT_EQ(CommandLines(), std::vector<std::u16string>{u"C:\\Dbg\\DbgManager.exe /url:\"" +
                                                          std::u16string(kTarget) + u"\" /browser:" +
                                                          DecimalText(d.value)});
  }
  platform.processes.clear();
  Launch(static_cast<BrowserKind>(200), manager);  // unknown values reach the manager unchanged
  EXPECT_EQ(CommandLines(), std::vector<std::u16string>{u"C:\\Dbg\\DbgManager.exe /url:\"" + std::u16string(kTarget) +
                                                        u"\" /browser:200"});
}

TEST_F(LaunchTest, MissingDebugManagerStopsEverything) {
  const std::string ini = "SingleInstance=1\nDebugManager=C:\\Dbg\\Gone.exe\n";
  try {
    Launch(BrowserKind::All, ini);
    FAIL() << "no error raised";
  } catch (const EKelvaneWork& error) {
    EXPECT_EQ(error.Message(), u"The Zarvel DBG manager [C:\\Dbg\\Gone.exe] doesn't exist!");
    EXPECT_STREQ(error.ClassName(), "EKelvaneWork");
  }
  EXPECT_TRUE(platform.processes.empty());
}

TEST_F(LaunchTest, ElectronBuildsAndTheirCommands) {
  const struct { int build; const char16_t* directory; const char16_t* commandLine; } cases[] = {
      {0, u"C:\\proj\\app", u"cmd.exe /c cd /d \"C:\\proj\\app\" & npm start"},
      {1, u"C:\\proj\\app", u"cmd.exe /c cd /d \"C:\\proj\\app\" & npm start"},
      {2, u"C:\\proj\\app", u"cmd.exe /c cd /d \"C:\\proj\\app\" & npm run-script run-win32"},
      {3, u"D:\\My App", u"cmd.exe /c cd /d \"D:\\My App\" & npm run-script run-win64"},
      {1, u"", u"cmd.exe /c cd /d \"\" & npm start"},
      {1, u"$(ProjectName)\\%s", u"cmd.exe /c cd /d \"$(ProjectName)\\%s\" & npm start"},  // as configured
      {4, u"C:\\proj", nullptr},
      {5, u"C:\\proj", nullptr},
      {255, u"C:\\proj", nullptr},
  };
  for (const auto& c : cases) {
    platform.processes.clear();
    LaunchElectron(platform, c.directory, static_cast<std::uint8_t>(c.build));
    if (!c.commandLine) {
      EXPECT_TRUE(platform.processes.empty()) << c.build;
      continue;
    }
    ASSERT_EQ(platform.processes.size(), 1u) << c.build;
    EXPECT_EQ(platform.processes[0].commandLine, c.commandLine);
    EXPECT_EQ(platform.processes[0].showWindow, 0);
    EXPECT_EQ(platform.processes[0].currentDirectory, u"");
  }
}

}  // namespace
}  // namespace kelvane
