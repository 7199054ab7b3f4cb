#pragma once
// The jump request: asks a running development environment to show the
// source line of a call-stack line. The environment's message window (of
// the thread that owns its main window) gets the line as UTF-8 in a buffer
// of this process, which it reads from here.
#include <cstdint>
#include <string>
#include <vector>

#include "common/win/NativeHandles.h"

namespace ruvex {

using kelvane::TWindowHandle;

// The windows the request looks at (Windows: the desktop's windows).
class IWindowDirectory {
 public:
  virtual ~IWindowDirectory() = default;
  // The first top-level window of the class; empty when there is none.
  virtual TWindowHandle FindTopLevel(const std::u16string& className) const = 0;
  virtual std::uint32_t ThreadOf(TWindowHandle window) const = 0;
  // Top-level windows and message-only windows, in the system's order.
  virtual std::vector<TWindowHandle> Windows() const = 0;
  virtual std::u16string ClassNameOf(TWindowHandle window) const = 0;
  virtual std::uint32_t RegisterMessage(const std::u16string& name) = 0;
  // Sends and waits at most `timeoutMs`; false when the receiver hangs.
  virtual bool SendWithTimeout(TWindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                               std::intptr_t lParam, std::uint32_t timeoutMs) = 0;
  virtual std::uint32_t CurrentProcessId() const = 0;
};

inline constexpr char16_t kIdeMainWindowClass[] = u"TAppBuilder";
inline constexpr char16_t kIdeJumpMessage[] = u"RuvexExceptIdeJumpCommand";
inline constexpr std::size_t kJumpBufferSize = 260;
inline constexpr std::uint32_t kJumpTimeoutMs = 1000;

// The buffer sent: the line with tabs as blanks, UTF-8, a zero byte, and
// zeros up to at least 260 bytes.
std::vector<char> JumpRequestBuffer(std::u16string_view line);

// Sends the request for `line`; the window that got it, or empty when there
// is no environment or no message window of its thread.
TWindowHandle SendJumpRequest(IWindowDirectory& windows, std::u16string_view line);

// The desktop's windows (Windows).
IWindowDirectory& DesktopWindows();

}  // namespace ruvex
