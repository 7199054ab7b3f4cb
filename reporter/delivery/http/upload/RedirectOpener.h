#pragma once
// The shell's default action for a redirect target: the user's browser.
#include <string>

namespace ruvex {

// Only for what IsOpenableRedirect accepts; off Windows nothing opens.
void OpenInDefaultBrowser(const std::string& url);

}  // namespace ruvex
