#include "reporter/ui/box/ErrorPage.h"

#include <gtest/gtest.h>

#include "reporter/ui/box/BoxTestException.h"

using namespace ruvex;

namespace {
bool Has(const std::u16string& text, std::u16string_view part) { return text.find(part) != std::u16string::npos; }
}  // namespace

TEST(ErrorPage, EscapesInsertedTextsAndKeepsLineMarks) {
  EXPECT_EQ(EscapeHtml(u"a&b<c>\"d'"), u"a&amp;b&lt;c&gt;&quot;d'");
  TBoxTestException t;
  t->SetPropStr("ExceptMsg", u"Fault in <%exceptClass%>%LF%%exceptMsg%");
  t->SetPropStr("TitleBar", u"A & B");
  auto page = BuildErrorPage(ErrorPageTexts(*t, u"report </textarea><script>x</script> &amp;"));
  EXPECT_TRUE(Has(page, u"<title>A &amp; B</title>"));
  EXPECT_TRUE(Has(page, u">Fault in &lt;EAccessViolation&gt;<br>\r\nAccess violation at address"));
  EXPECT_TRUE(Has(page, u"report &lt;/textarea&gt;&lt;script&gt;x&lt;/script&gt; &amp;amp;</textarea>"));
  EXPECT_TRUE(Has(page, u"visibility:hidden;"));
  EXPECT_TRUE(Has(page, u"&nbsp;show bug report&nbsp;</button>"));
}

TEST(ErrorPage, ReportOnlyWhenTheUserMaySeeIt) {
  TErrorPageTexts texts;
  texts.bugReport = u"secret report";
  texts.showVisible = false;
  auto page = BuildErrorPage(texts);
  EXPECT_FALSE(Has(page, u"secret report"));
  EXPECT_FALSE(Has(page, u"<textarea"));
  EXPECT_TRUE(Has(page, u"&nbsp;continue application&nbsp;") || Has(page, u"&nbsp;&nbsp;"));
  texts.autoShowBugReport = true;
  page = BuildErrorPage(texts);
  EXPECT_TRUE(Has(page, u"style=\"width:100%;height:100%;\">\r\nsecret report</textarea>"));
  EXPECT_FALSE(Has(page, u"getElementById")) << "shown at once: no show button";
}

TEST(ConsoleOutput, MessageThenReportWhenShown) {
  TBoxTestException t;
  t->SetPropStr("ExceptMsg", u"%exceptClass% happened.");
  EXPECT_EQ(ConsoleOutput(*t, false, u"R"), u"EAccessViolation happened.\r\n\r\nR\r\n");
  t->SetShowBtnVisible(false);
  EXPECT_EQ(ConsoleOutput(*t, false, u"R"), u"EAccessViolation happened.\r\n");
  auto cgi = ConsoleOutput(*t, true, u"R");
  EXPECT_EQ(cgi.rfind(u"Content-Type: text/html\r\n\r\n<html><head><title>", 0), 0u);
}
