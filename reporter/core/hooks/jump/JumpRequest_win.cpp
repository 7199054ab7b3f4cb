#include <windows.h>

#include "common/win/NativeHandles_win.h"
#include "reporter/core/hooks/jump/JumpRequest.h"

namespace ruvex {
namespace {

// More windows than a desktop holds; the walk never runs away.
constexpr std::size_t kMaxWindows = 65536;

std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  auto& windows = *reinterpret_cast<std::vector<TWindowHandle>*>(list);
  windows.push_back(kelvane::FromHwnd(window));
  return windows.size() < kMaxWindows;
}

class TDesktopWindows : public IWindowDirectory {
 public:
  TWindowHandle FindTopLevel(const std::u16string& className) const override {
    return kelvane::FromHwnd(FindWindowW(Wide(className).c_str(), nullptr));
  }
  std::uint32_t ThreadOf(TWindowHandle window) const override {
    return GetWindowThreadProcessId(kelvane::ToHwnd(window), nullptr);
  }
  std::vector<TWindowHandle> Windows() const override {
    std::vector<TWindowHandle> all;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    // The message windows are message-only: the top-level walk never sees them.
    for (HWND w = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); w && all.size() < 2 * kMaxWindows;
         w = FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr))
      all.push_back(kelvane::FromHwnd(w));
    return all;
  }
  std::u16string ClassNameOf(TWindowHandle window) const override {
    wchar_t name[257] = {};
    const int length = GetClassNameW(kelvane::ToHwnd(window), name, 257);
    return std::u16string(name, name + std::max(length, 0));
  }
  std::uint32_t RegisterMessage(const std::u16string& name) override {
    return RegisterWindowMessageW(Wide(name).c_str());
  }
  bool SendWithTimeout(TWindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                       std::uint32_t timeoutMs) override {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(kelvane::ToHwnd(window), message, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs,
                               &result) != 0;
  }
  std::uint32_t CurrentProcessId() const override { return GetCurrentProcessId(); }
};

}  // namespace

IWindowDirectory& DesktopWindows() {
  static TDesktopWindows windows;
  return windows;
}

}  // namespace ruvex
