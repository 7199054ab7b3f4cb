// The jump request between two threads' windows (runs under wine64): the
// environment's main window and its message window live in one thread.
#include <windows.h>

#include "common/win/NativeHandles_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "reporter/core/hooks/jump/JumpRequest.h"
#include "reporter/engines/system/messages/MessageWindow.h"
#include "reporter/engines/system/messages/MessageWindowName.h"

namespace ruvex {
namespace {

std::string received;
std::atomic<int> decoyCalls{0};

// The receiver reads the line from the sender's memory, as another process would.
void ReadJumpLine(TMessage& m) {
  HANDLE sender = OpenProcess(PROCESS_VM_READ, FALSE, static_cast<DWORD>(m.wParam));
  char line[kJumpBufferSize] = {};
  SIZE_T read = 0;
  if (sender) {
    ReadProcessMemory(sender, reinterpret_cast<const void*>(m.lParam), line, sizeof line, &read);
    CloseHandle(sender);
  }
  received.assign(line);
}

HWND CreateWindowOfClass(const std::wstring& className, HWND parent, WNDPROC procedure) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = className.c_str();
  RegisterClassW(&wc);
  return CreateWindowExW(0, className.c_str(), L"", WS_POPUP, 0, 0, 0, 0, parent, nullptr, wc.hInstance, nullptr);
}

LRESULT CALLBACK CountingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m >= 0xC000) ++decoyCalls;
  return DefWindowProcW(w, m, wp, lp);
}

// Without a display wine creates no top-level windows, so the environment's
// main window is a message-only one here, found as such; the rest is the
// desktop's own.
class TDisplaylessDesktop : public IWindowDirectory {
 public:
  TWindowHandle FindTopLevel(const std::u16string& className) const override {
    return kelvane::FromHwnd(FindWindowExW(HWND_MESSAGE, nullptr, reinterpret_cast<const wchar_t*>(className.c_str()),
                                           nullptr));
  }
  std::uint32_t ThreadOf(TWindowHandle w) const override { return desktop_.ThreadOf(w); }
  std::vector<TWindowHandle> Windows() const override { return desktop_.Windows(); }
  std::u16string ClassNameOf(TWindowHandle w) const override { return desktop_.ClassNameOf(w); }
  std::uint32_t RegisterMessage(const std::u16string& name) override { return desktop_.RegisterMessage(name); }
  bool SendWithTimeout(TWindowHandle w, std::uint32_t m, std::uintptr_t wp, std::intptr_t lp,
                       std::uint32_t timeoutMs) override {
    return desktop_.SendWithTimeout(w, m, wp, lp, timeoutMs);
  }
  std::uint32_t CurrentProcessId() const override { return desktop_.CurrentProcessId(); }

 private:
  IWindowDirectory& desktop_ = DesktopWindows();
};

TEST(JumpRequest, ReachesTheEnvironmentThreadsMessageWindow) {
  TDisplaylessDesktop desktop;
  const UINT jumpMessage = RegisterWindowMessageW(L"RuvexExceptIdeJumpCommand");
  std::atomic<DWORD> ideThread{0};
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread ide([&] {
    ideThread = GetCurrentThreadId();
    // A decoy whose name only starts like the wanted one: thread id digits run on.
    const std::u16string decoy = MessageWindowClassName(ideThread) + u"7";
    HWND decoyWindow = CreateWindowOfClass(std::wstring(decoy.begin(), decoy.end()), HWND_MESSAGE, CountingProc);
    HWND main = CreateWindowOfClass(L"TAppBuilder", HWND_MESSAGE, DefWindowProcW);
    const kelvane::TWindowHandle own = ThreadMessageWindow(ideThread);
    AddMsgHandler(own, jumpMessage, ReadJumpLine);
    SetEvent(ready);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    DestroyWindow(main);
    DestroyWindow(decoyWindow);
  });
  ASSERT_EQ(WaitForSingleObject(ready, 5000), WAIT_OBJECT_0);

  const kelvane::TWindowHandle to = SendJumpRequest(desktop, u"Unit1.pas\t(42)");
  EXPECT_EQ(to, ThreadMessageWindow(ideThread));
  EXPECT_EQ(received, "Unit1.pas (42)");
  EXPECT_EQ(decoyCalls.load(), 0);

  PostThreadMessageW(ideThread, WM_QUIT, 0, 0);
  ide.join();
  CloseHandle(ready);
  // Without the environment's window nothing is sent.
  received.clear();
  EXPECT_FALSE(SendJumpRequest(desktop, u"Unit1.pas (42)"));
  EXPECT_EQ(received, "");
}

}  // namespace
}  // namespace ruvex
