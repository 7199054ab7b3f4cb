#include "reporter/core/hooks/jump/JumpRequest.h"

#include <algorithm>

#include "common/text/Utf.h"
#include "reporter/engines/system/messages/MessageWindowName.h"

namespace ruvex {

std::vector<char> JumpRequestBuffer(std::u16string_view line) {
  std::u16string text(line);
  std::replace(text.begin(), text.end(), u'\t', u' ');
  const std::string utf8 = kelvane::Utf16ToUtf8(text);
  std::vector<char> buffer(utf8.begin(), utf8.end());
  buffer.push_back('\0');
  if (buffer.size() < kJumpBufferSize) buffer.resize(kJumpBufferSize, '\0');
  return buffer;
}

TWindowHandle SendJumpRequest(IWindowDirectory& windows, std::u16string_view line) {
  const TWindowHandle ide = windows.FindTopLevel(kIdeMainWindowClass);
  if (!ide) return {};
  // The whole name, not a prefix of it: the thread id ends the name.
  const std::u16string wanted = MessageWindowClassName(windows.ThreadOf(ide));
  for (const TWindowHandle window : windows.Windows()) {
    if (windows.ClassNameOf(window) != wanted) continue;
    std::vector<char> buffer = JumpRequestBuffer(line);
    windows.SendWithTimeout(window, windows.RegisterMessage(kIdeJumpMessage), windows.CurrentProcessId(),
                            static_cast<std::intptr_t>(reinterpret_cast<std::uintptr_t>(buffer.data())),
                            kJumpTimeoutMs);
    return window;
  }
  return {};
}

}  // namespace ruvex
