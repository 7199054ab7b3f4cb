#include "launcher/KV.Work.h"

#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "launcher/Web.Custom.KVIni.h"
#include "launcher/platform/FakePlatform.h"

namespace kelvane {
namespace {

constexpr char16_t kIni[] = u"C:\\Work\\project.ini";

// The executable is C:\Tools\Project1.exe; the configuration C:\Work\project.ini.
class WorkTest : public ::testing::Test {
 protected:
  int Run(const std::string& ini) {
    platform.AddFile(kIni, "[Paths]\r\n" + ini);
    return RunLauncher(platform, kIni);
  }
  // The one text the shell was asked to open (Browser=0 routes every target there).
  std::u16string OpenedTarget() {
    EXPECT_EQ(platform.shellRequests.size(), 1u);
    return platform.shellRequests.empty() ? u"" : platform.shellRequests.back().file;
  }
  std::u16string Expand(const std::string& ini, std::u16string_view text) {
    const Config config(platform, Utf8ToUtf16("[Paths]\n" + ini));
    return ExpandMacros(platform, text, config);
  }
  FakePlatform platform;
};

TEST_F(WorkTest, UrlTargets) {
  const struct { const char* ini; const char16_t* target; } cases[] = {
      {"URL=localhost:8000", u"http://localhost:8000/Project1.html"},
      {"URL=http://localhost:8000/\nHtmlFile=index.html", u"http://localhost:8000/index.html"},
      {"URL=HTTP://Host", u"HTTP://Host/Project1.html"},
      {"URL=http://localhost:8000/$(projectname)", u"http://localhost:8000/Project1/Project1.html"},
      {"URL=$(DefaultURL)\nDefaultURL=http://127.0.0.1:8000", u"http://127.0.0.1:8000/Project1.html"},
      {"URL=$(DefaultURL)", u"http://Project1.html"},
      {"URL=http://h\nHtmlFile=sub/", u"http://h/sub"},
      {"URL=http://h\nHtmlFile=sub/\nURLParams=?a=1", u"http://h/sub?a=1"},
      {"URL=http://h\nHtmlFile=$(ProjectName).html", u"http://h/$(ProjectName).html"},  // not expanded
      // A URL with its own scheme keeps it.
      {"URL=https://example.org:8443", u"https://example.org:8443/Project1.html"},
      {"URL=HTTPS://x/\nHtmlFile=a.html", u"HTTPS://x/a.html"},
      {"URL=$(DefaultURL)\nDefaultURL=https://dev.local", u"https://dev.local/Project1.html"},
      {"URL=file:///C:/site", u"file:///C:/site/Project1.html"},
      {"URL=my+app.v2-x://open", u"my+app.v2-x://open/Project1.html"},
      // No scheme: a text without "://", or with a name that no scheme may have.
      {"URL=localhost:8000/a://b", u"http://localhost:8000/a://b/Project1.html"},
      {"URL=://x", u"http://://x/Project1.html"},
      {"URL=1ab://x", u"http://1ab://x/Project1.html"},
  };
  for (const auto& c : cases) {
    platform.shellRequests.clear();
    EXPECT_EQ(Run(std::string("Browser=0\n") + c.ini), 0) << c.ini;
    EXPECT_EQ(OpenedTarget(), c.target) << c.ini;
  }
}

TEST_F(WorkTest, MacroExpansion) {
  const struct { const char* ini; const char16_t* text; const char16_t* result; } cases[] = {
      {"", u"$(PROJECTNAME)-$(projectName)", u"Project1-Project1"},
      {"HtmlPath=C:\\out", u"$(OutputDir)\\x", u"C:\\out\\x"},
      {"HtmlPath=C:\\My Site", u"$(OutputDir)", u"\"C:\\My Site\""},
      {"HtmlPath=C:\\a \"b\"", u"$(outputdir)", u"\"C:\\a \"\"b\"\"\""},
      // A later step also replaces inside what an earlier one inserted...
      {"HtmlPath=$(DefaultURL)\nDefaultURL=D", u"$(OutputDir)", u"D"},
      // ...but a step never rescans its own insertion, nor an earlier step's macros.
      {"DefaultURL=$(DefaultURL)", u"$(DefaultURL)!", u"$(DefaultURL)!"},
      {"DefaultURL=$(ProjectName)", u"$(DefaultURL)", u"$(ProjectName)"},
      {"DefaultURL=x", u"$(DefaultURL$(DefaultURL))", u"$(DefaultURLx)"},
      {"", u"$(Unknown) $(ProjectName", u"$(Unknown) $(ProjectName"},
  };
  for (const auto& c : cases) EXPECT_EQ(Expand(c.ini, c.text), c.result) << c.ini;

  EXPECT_EQ(Expand("HtmlPath=C:\\My Site", u"$(OutputDir)").size(), 12u);
  platform.moduleFileName = u"C:\\Tools\\my.app.exe";
  EXPECT_EQ(Expand("", u"$(ProjectName)"), u"my.app");
}

TEST_F(WorkTest, QuoteIfSpacedTable) {
  EXPECT_EQ(QuoteIfSpaced(u"C:\\out"), u"C:\\out");
  EXPECT_EQ(QuoteIfSpaced(u"\"C:\\out\""), u"\"C:\\out\"");  // quotes alone do not trigger quoting
  EXPECT_EQ(QuoteIfSpaced(u"a b"), u"\"a b\"");
  EXPECT_EQ(QuoteIfSpaced(u"a \"b\""), u"\"a \"\"b\"\"\"");
  EXPECT_EQ(QuoteIfSpaced(u"a\tb"), u"a\tb");  // only U+0020 counts
}

TEST_F(WorkTest, LocalTargetAndItsFallback) {
  const std::string ini = "Browser=0\nHtmlPath=C:\\out\n";
  EXPECT_EQ(Run(ini), 1);  // neither C:\out\Project1.html nor C:\Tools\Project1.html
  EXPECT_TRUE(platform.shellRequests.empty());
  EXPECT_TRUE(platform.processes.empty());

  platform.AddFile(u"C:\\Tools\\Project1.html");
  EXPECT_EQ(Run(ini + "URLParams=?x=1"), 0);
  EXPECT_EQ(OpenedTarget(), u"C:\\Tools\\Project1.html?x=1");

  platform.shellRequests.clear();
  platform.AddFile(u"C:\\out\\Project1.html");
  EXPECT_EQ(Run(ini), 0);
  EXPECT_EQ(OpenedTarget(), u"C:\\out\\Project1.html");
}

TEST_F(WorkTest, LocalTargetPaths) {
  for (const char16_t* file : {u"C:\\out\\index.html", u"D:\\site\\a.html", u"C:\\Work\\index.html",
                               u"C:\\My Site\\Project1.html", u"C:\\out\\Project1\\index.html"})
    platform.AddFile(file);
  const struct { const char* ini; const char16_t* target; } cases[] = {
      {"HtmlPath=C:\\out\nHtmlFile=index.html\nURLParams=?x=1", u"C:\\out\\index.html?x=1"},
      {"HtmlPath=C:\\out\nHtmlFile=D:\\site\\a.html", u"D:\\site\\a.html"},  // a rooted file replaces the folder
      {"HtmlPath=C:\\out\\\nHtmlFile=index.html", u"C:\\out\\index.html"},
      {"HtmlFile=index.html", u"index.html"},  // relative to the current folder
      {"HtmlPath=C:\\My Site", u"C:\\My Site\\Project1.html"},  // spaces reach the browser unquoted
      {"HtmlPath=C:\\out\\$(ProjectName)\nHtmlFile=index.html", u"C:\\out\\Project1\\index.html"},
  };
  for (const auto& c : cases) {
    platform.shellRequests.clear();
    EXPECT_EQ(Run(std::string("Browser=0\n") + c.ini), 0) << c.ini;
    EXPECT_EQ(OpenedTarget(), c.target) << c.ini;
  }
  // A quoted folder is no path.
  EXPECT_THROW(Run("HtmlPath=\"C:\\out\"\nHtmlFile=index.html"), EPathError);
}

TEST_F(WorkTest, BrowserValuesAreClampedAndCut) {
  platform.SetString(RegistryRoot::ClassesRoot, u"ChromeHTML\\shell\\open\\command", u"", u"C:\\c\\chrome.exe %1");
  const struct { const char* browser; bool chrome; } cases[] = {
      {"-7", false}, {"256", false}, {"259", true}, {"3", true}, {"0x103", true}, {"nonsense", false},
  };
  for (const auto& c : cases) {
    platform.processes.clear();
    platform.shellRequests.clear();
    Run(std::string("URL=h\nBrowser=") + c.browser);
    EXPECT_EQ(platform.processes.size(), c.chrome ? 1u : 0u) << c.browser;
    // "nonsense" reads as the default (1): nothing detected, so the shell opens it.
    EXPECT_EQ(platform.shellRequests.size(), c.chrome ? 0u : 1u) << c.browser;
  }
}

TEST_F(WorkTest, ElectronIgnoresBrowserAndUrl) {
  EXPECT_EQ(Run("Electron=1\nElectronBuild=258\nHtmlPath=C:\\proj\\$(ProjectName)\nBrowser=3\nURL=http://x"), 0);
  ASSERT_EQ(platform.processes.size(), 1u);
  EXPECT_EQ(platform.processes[0].commandLine,
            u"cmd.exe /c cd /d \"C:\\proj\\$(ProjectName)\" & npm run-script run-win32");
  EXPECT_TRUE(platform.shellRequests.empty());
}

TEST_F(WorkTest, MissingConfigurationUsesTheDefaults) {
  // No file: Browser=1 (nothing detected), no URL, so the local file named
  // after the executable is looked for beside it.
  EXPECT_EQ(RunLauncher(platform, u""), 1);
  platform.AddFile(u"C:\\Tools\\Project1.html");
  EXPECT_EQ(RunLauncher(platform, u"C:\\nowhere.ini"), 0);
  EXPECT_EQ(OpenedTarget(), u"C:\\Tools\\Project1.html");
}

}  // namespace
}  // namespace kelvane
