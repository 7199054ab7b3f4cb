// Writes the web error page for a report that holds markup, as UTF-8 on
// standard output, for the Python check.
#include <iostream>

#include "common/text/Utf.h"
#include "reporter/ui/box/ErrorPage.h"

int main() {
  ruvex::TErrorPageTexts texts;
  texts.title = u"Kelvane & \"friends\"";
  texts.message = ruvex::EscapeHtml(u"Line <one> & more") + u"<br>\r\n" + ruvex::EscapeHtml(u"two");
  texts.continueCaption = u"go <on>";
  texts.showCaption = u"show";
  texts.bugReport = u"head\r\n</textarea><script>alert(1)</script>\r\n&amp; \"q\" \u00e9\u20ac";
  std::cout << kelvane::Utf16ToUtf8(ruvex::BuildErrorPage(texts));
}
