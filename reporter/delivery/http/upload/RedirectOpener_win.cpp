#include "reporter/delivery/http/upload/RedirectOpener.h"

#include <windows.h>
#include <shellapi.h>

#include "common/text/Utf.h"
#include "common/win/WinText_win.h"
#include "reporter/delivery/http/upload/CustomScriptPost.h"

namespace ruvex {

void OpenInDefaultBrowser(const std::string& url) {
  // Checked here too: the shell would as readily start a program.
  if (!IsOpenableRedirect(url)) return;
  const std::u16string wide = kelvane::Utf8ToUtf16(url);
  ShellExecuteW(nullptr, L"open", kelvane::Wide(wide), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace ruvex
