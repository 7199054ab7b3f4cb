// Screen capture through GDI, per-monitor DPI aware where the system offers
// it, so that the pixels are the screen's own and not scaled copies.
#include <windows.h>

#include "common/win/NativeHandles_win.h"

#include <vector>

#include "reporter/imaging/CapturePlan.h"
#include "reporter/imaging/ScreenCapture.h"

namespace ruvex {
namespace {

// Switches the calling thread to per-monitor awareness for its lifetime.
class TDpiAwareScope {
 public:
  TDpiAwareScope() {
    using TSetContext = HANDLE(WINAPI*)(HANDLE);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    set_ = user32 ? reinterpret_cast<TSetContext>(
                        reinterpret_cast<void*>(GetProcAddress(user32, "SetThreadDpiAwarenessContext")))
                  : nullptr;
    if (set_) previous_ = set_(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3)));  // per monitor aware
  }
  ~TDpiAwareScope() {
    if (set_ && previous_) set_(previous_);
  }
  TDpiAwareScope(const TDpiAwareScope&) = delete;
  TDpiAwareScope& operator=(const TDpiAwareScope&) = delete;

 private:
  HANDLE(WINAPI* set_)(HANDLE) = nullptr;
  HANDLE previous_ = nullptr;
};

struct TDisplayDC {
  HDC dc = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
  ~TDisplayDC() {
    if (dc) DeleteDC(dc);
  }
};

// DWMWA_CLOAKED: windows the window manager keeps out of sight (other
// virtual desktops, suspended apps) although they count as visible.
bool IsCloaked(HWND hwnd) {
  using TGetAttribute = HRESULT(WINAPI*)(HWND, DWORD, void*, DWORD);
  static const TGetAttribute getAttribute = [] {
    HMODULE dwm = LoadLibraryExW(L"dwmapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return dwm ? reinterpret_cast<TGetAttribute>(GetProcAddress(dwm, "DwmGetWindowAttribute")) : nullptr;
  }();
  constexpr DWORD kCloaked = 14;
  DWORD cloaked = 0;
  return getAttribute && SUCCEEDED(getAttribute(hwnd, kCloaked, &cloaked, sizeof cloaked)) && cloaked != 0;
}

// Whether a window of another program hides ours: a click-through layered
// overlay (notifications, screen tools) or a cloaked window does not.
bool SeenOnScreen(HWND hwnd, bool ownProcess) {
  if (!IsWindowVisible(hwnd)) return false;
  if (ownProcess) return true;
  const LONG_PTR exStyle = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
  if ((exStyle & WS_EX_LAYERED) && (exStyle & WS_EX_TRANSPARENT)) return false;
  return !IsCloaked(hwnd);
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
  auto& windows = *reinterpret_cast<std::vector<TTopWindow>*>(param);
  RECT r;
  if (!GetWindowRect(hwnd, &r)) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  TTopWindow w;
  w.rect = {r.left, r.top, r.right, r.bottom};
  w.ownProcess = pid == GetCurrentProcessId();
  w.visible = SeenOnScreen(hwnd, w.ownProcess);
  w.minimized = IsIconic(hwnd) != 0;
  windows.push_back(w);
  return TRUE;
}

TScreenRect ScreenArea(HDC display) {
  if (GetSystemMetrics(SM_CMONITORS) != 0) {
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  }
  return {0, 0, GetDeviceCaps(display, HORZRES), GetDeviceCaps(display, VERTRES)};
}

void DrawCursor(HDC target, const TScreenRect& area) {
  CURSORINFO info{};
  info.cbSize = sizeof(info);
  if (!GetCursorInfo(&info) || !(info.flags & CURSOR_SHOWING) || !info.hCursor) return;
  ICONINFO icon{};
  int hotX = 0, hotY = 0;
  if (GetIconInfo(info.hCursor, &icon)) {
    hotX = static_cast<int>(icon.xHotspot);
    hotY = static_cast<int>(icon.yHotspot);
    if (icon.hbmMask) DeleteObject(icon.hbmMask);
    if (icon.hbmColor) DeleteObject(icon.hbmColor);
  }
  DrawIconEx(target, info.ptScreenPos.x - hotX - area.left, info.ptScreenPos.y - hotY - area.top, info.hCursor, 0, 0,
             0, nullptr, DI_NORMAL);
}

}  // namespace

PNVBitmap TakeScreenShot(bool appOnly, bool drawCursor) {
  TDpiAwareScope dpi;
  TDisplayDC display;
  if (!display.dc) return nullptr;
  std::vector<TTopWindow> windows;
  if (appOnly) EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows));
  const auto plan = PlanCapture(ScreenArea(display.dc), windows, appOnly);
  if (!plan) return nullptr;
  const int width = plan->area.right - plan->area.left, height = plan->area.bottom - plan->area.top;
  PNVBitmap bitmap = CreateNVBitmap(width, height);
  if (!bitmap) return nullptr;
  HDC target = kelvane::ToHdc(bitmap->DeviceContext());
  bool copied;
  if (plan->clipped) {
    PatBlt(target, 0, 0, width, height, WHITENESS);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    for (const TScreenRect& r : plan->clip) {
      HRGN piece = CreateRectRgn(r.left, r.top, r.right, r.bottom);
      CombineRgn(region, region, piece, RGN_OR);
      DeleteObject(piece);
    }
    SelectClipRgn(target, region);
    copied = BitBlt(target, 0, 0, width, height, display.dc, plan->area.left, plan->area.top, SRCCOPY) != 0;
    SelectClipRgn(target, nullptr);
    DeleteObject(region);
  } else {
    copied = BitBlt(target, 0, 0, width, height, display.dc, plan->area.left, plan->area.top, SRCCOPY) != 0;
  }
  if (!copied) return nullptr;
  if (drawCursor) DrawCursor(target, plan->area);
  GdiFlush();
  return bitmap;
}

}  // namespace ruvex
