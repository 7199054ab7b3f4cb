#pragma once
// What a program without windows gets instead of the box: a text for the
// console, or an HTML page for a web server.
#include <string>

#include "reporter/core/flow/Exception.h"

namespace ruvex {

// Characters of HTML markup (& < > ") as entities.
std::u16string EscapeHtml(std::u16string_view text);

struct TErrorPageTexts {
  std::u16string title, message, continueCaption, showCaption;
  std::u16string bugReport;
  bool continueVisible = true, showVisible = true, autoShowBugReport = false;
};

// The built-in page. Every inserted text is escaped first; the report is
// left out when the user may not see it (show button hidden, no automatic
// display).
std::u16string BuildErrorPage(const TErrorPageTexts& texts);

// The page's texts from the exception. The message keeps its markup
// escaped and "%LF%" as "<br>" with a line break.
TErrorPageTexts ErrorPageTexts(IREException& exception, const std::u16string& bugReport);

// "Content-Type: text/html" and the page (CGI), or the message with the
// report after an empty line when the settings show it.
std::u16string ConsoleOutput(IREException& exception, bool cgi, const std::u16string& bugReport);

}  // namespace ruvex
