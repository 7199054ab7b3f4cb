#include "reporter/ui/box/ErrorPage.h"

#include "reporter/core/settings/Settings.h"

namespace ruvex {

namespace {

constexpr std::u16string_view kLineFeedMark = u"%LF%";

std::u16string Expand(IREException& e, std::u16string_view text, const std::u16string& bugReport) {
  auto* self = dynamic_cast<TIRESettings*>(&e);
  if (!self) return std::u16string(text);
  TPlaceholderValues values;
  values.exceptClass = e.GetExceptClass();
  values.bugReport = bugReport;
  values.errorDetails = e.GetBugReportSections()->GetContent(u"error details");
  values.exceptMsg = e.GetBugReportHeader()->GetContent(u"exception message");
  if (values.exceptMsg.empty()) values.exceptMsg = e.GetExceptMessage();
  return ExpandPlaceholders(self->Environment().Host(), e.Module(), text, values);
}

// The setting as stored, its placeholders still in place.
std::u16string RawSetting(IREException& e, const char* name) {
  auto* self = dynamic_cast<TIRESettings*>(&e);
  auto raw = self ? self->LookupProp(name) : std::nullopt;
  return raw ? raw->Str() : e.GetPropStr(name);
}

// Each piece between the line marks is expanded and escaped on its own, so
// that nothing an inserted text holds can turn into markup.
std::u16string PageMessage(IREException& e, const std::u16string& bugReport) {
  std::u16string templ = RawSetting(e, "ExceptMsg");
  std::u16string out;
  std::size_t start = 0;
  while (true) {
    std::size_t mark = templ.find(kLineFeedMark, start);
    out += EscapeHtml(Expand(e, std::u16string_view(templ).substr(start, mark - start), bugReport));
    if (mark == std::u16string::npos) return out;
    out += u"<br>\r\n";
    start = mark + kLineFeedMark.size();
  }
}

}  // namespace

std::u16string EscapeHtml(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'"': out += u"&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::u16string BuildErrorPage(const TErrorPageTexts& t) {
  bool reportShown = t.autoShowBugReport || t.showVisible;
  std::u16string page;
  page += u"<html><head><title>" + EscapeHtml(t.title) + u"</title></head><body>\r\n";
  page += u"<table border=\"0\" width=\"100%\" height=\"100%\">\r\n<tr><td colspan=4 style=\"height:2pt;\"></td></tr>\r\n";
  page += u"<tr><td colspan=4 valign=\"top\"><p style=\"font-family:Tahoma,'MS Sans Serif';font-size:13pt;"
          u"margin-left:4px;\">" + t.message + u"</p></td></tr>\r\n";
  page += u"<tr><td colspan=4 style=\"height:8pt;\"></td></tr>\r\n";
  page += u"<tr><td><button onClick=\"history.back();\" style=\"height:19.5pt;\">&nbsp;" +
          EscapeHtml(t.continueVisible ? t.continueCaption : u"continue application") + u"&nbsp;</button></td>\r\n";
  page += u"<td><p>&nbsp;&nbsp;</p></td>\r\n<td>";
  if (t.autoShowBugReport || !t.showVisible)
    page += u"&nbsp;";
  else
    page += u"<button onClick=\"document.getElementById('bugReport').style.visibility='visible';"
            u"this.style.visibility='hidden';\" style=\"height:19.5pt;\">&nbsp;" + EscapeHtml(t.showCaption) +
            u"&nbsp;</button>";
  page += u"</td>\r\n<td width=\"100%\"></td></tr>\r\n";
  page += u"<tr><td colspan=4 style=\"height:8pt;\"></td></tr>\r\n<tr><td colspan=4 height=\"100%\">\r\n";
  if (reportShown) {
    page += u"<textarea id=\"bugReport\" readonly cols=\"80\" rows=\"20\" style=\"width:100%;height:100%;";
    if (!t.autoShowBugReport) page += u"visibility:hidden;";
    page += u"\">\r\n" + EscapeHtml(t.bugReport) + u"</textarea>";
  }
  page += u"</td></tr></table></body></html>";
  return page;
}

TErrorPageTexts ErrorPageTexts(IREException& e, const std::u16string& bugReport) {
  TErrorPageTexts t;
  t.title = e.GetTitleBar();
  t.message = PageMessage(e, bugReport);
  t.continueCaption = e.GetContinueBtnCaption();
  t.showCaption = e.GetShowBtnCaption();
  t.bugReport = bugReport;
  t.continueVisible = e.GetContinueBtnVisible();
  t.showVisible = e.GetShowBtnVisible();
  t.autoShowBugReport = e.GetAutoShowBugReport();
  return t;
}

std::u16string ConsoleOutput(IREException& e, bool cgi, const std::u16string& bugReport) {
  if (cgi) return u"Content-Type: text/html\r\n\r\n" + BuildErrorPage(ErrorPageTexts(e, bugReport));
  const char* name = e.GetExceptType() == etFrozen ? "FrozenMsg" : "ExceptMsg";
  std::u16string out = Expand(e, RawSetting(e, name), bugReport) + u"\r\n";
  if (e.GetAutoShowBugReport() || e.GetShowBtnVisible()) out += u"\r\n" + bugReport + u"\r\n";
  return out;
}

}  // namespace ruvex
