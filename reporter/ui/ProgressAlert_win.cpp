// The progress window itself. It belongs to the thread that shows it; other
// threads only post to it, so that none of them ever waits for that thread.
#include <windows.h>

#include "common/win/NativeHandles_win.h"
#include "common/win/WinText_win.h"
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "reporter/ui/ProgressAlert.h"
#include "reporter/ui/ProgressLayout.h"

namespace ruvex {
namespace {

using kelvane::Wide;

constexpr wchar_t kClassName[] = L"prgrAlertWndClass";
constexpr UINT kSetBar = WM_APP + 1;     // wParam: bar position
constexpr UINT kRefreshText = WM_APP + 2;
constexpr int kIconId = 100;
constexpr DWORD kIconResourceSize = 40 + 4 * 32 * 32;


// What a window whose object is gone needs to give its parent back.
struct TParentRestore {
  HWND parent;
  bool wasEnabled;
};
constexpr wchar_t kParentRestoreProp[] = L"RuvexProgressParentRestore";

void RestoreParent(HWND parent, bool wasEnabled) {
  EnableWindow(parent, wasEnabled);
  if (wasEnabled) SetForegroundWindow(parent);
}

class TIProgressAlert final : public TProgressAlertBase {
 public:
  TIProgressAlert(std::u16string title, HMODULE module, std::u16string bitmapName)
      : TProgressAlertBase(std::move(title)), module_(module), bitmapName_(std::move(bitmapName)) {
    dc_ = CreateCompatibleDC(nullptr);
    font_ = CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    if (!font_) font_ = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Sans Serif");
    if (dc_ && font_) oldFont_ = SelectObject(dc_, font_);
  }

  ~TIProgressAlert() override {
    if (HWND hwnd = window_.load()) {
      if (OnOwnThread()) {
        closing_ = true;
        DestroyWindow(hwnd);
      } else {
        // The window outlives this object until its thread handles the
        // close: it must not call back into us, but it still gives the
        // parent back its state when it goes.
        if (parent_) {
          auto* restore = new TParentRestore{parent_, parentWasEnabled_};
          if (!SetPropW(hwnd, kParentRestoreProp, restore)) delete restore;
        }
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
      }
    }
    if (dc_ && oldFont_) SelectObject(dc_, oldFont_);
    if (dc_) DeleteDC(dc_);
    if (font_) DeleteObject(font_);
    if (slotEvent_) CloseHandle(slotEvent_);
  }

  void ProcessMessages() override {
    if (!OnOwnThread()) return;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

  bool Show(kelvane::TWindowHandle parentWindow, bool activate) override;

  void Close() override { CloseOnOwnThreadOrPost(); }

  kelvane::TWindowHandle WindowHandle() override { return kelvane::FromHwnd(window_.load()); }

 protected:
  void TitleChanged() override { PostOrRun(kRefreshText, 0); }
  void CaptionChanged() override { PostOrRun(kRefreshText, 0); }
  void BarChanged() override {
    PostOrRun(kSetBar, static_cast<WPARAM>(GetBarPosition()));
    if (OnOwnThread()) ProcessMessages();
  }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);

  bool OnOwnThread() const { return GetCurrentThreadId() == ownerThread_; }

  // On the window's thread the change is made at once; from any other the
  // message is posted, never sent.
  void PostOrRun(UINT msg, WPARAM wParam) {
    HWND hwnd = window_.load();
    if (!hwnd) return;
    if (OnOwnThread())
      Handle(msg, wParam, 0);
    else
      PostMessageW(hwnd, msg, wParam, 0);
  }

  void CloseOnOwnThreadOrPost() {
    HWND hwnd = window_.load();
    if (!hwnd) return;
    closing_ = true;
    if (OnOwnThread())
      DestroyWindow(hwnd);
    else
      PostMessageW(hwnd, WM_CLOSE, 0, 0);
  }

  void Destroyed();
  void RefreshText();
  TRect Measure(const std::vector<std::u16string>& captions);
  bool LoadIcon();
  void PaintIcon(const DRAWITEMSTRUCT& item);
  void Place(const TProgressLayout& layout, bool activate);

  HMODULE module_;
  std::u16string bitmapName_;
  HDC dc_ = nullptr;
  HFONT font_ = nullptr;
  HGDIOBJ oldFont_ = nullptr;
  HANDLE slotEvent_ = nullptr;
  int slot_ = 0;
  std::atomic<HWND> window_{nullptr};
  HWND icon_ = nullptr, label_ = nullptr, bar_ = nullptr;
  HWND parent_ = nullptr;
  bool parentWasEnabled_ = false;
  std::atomic<bool> closing_{false};
  DWORD ownerThread_ = 0;
  std::vector<std::uint8_t> iconPixels_;  // 32 x 32 x 4, bottom-up, with alpha
};

bool RegisterWindowClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcW;  // replaced per window below
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool TIProgressAlert::LoadIcon() {
  if (!module_ || bitmapName_.empty()) return false;
  HRSRC info = FindResourceW(module_, Wide(bitmapName_), reinterpret_cast<LPCWSTR>(RT_BITMAP));
  if (!info || SizeofResource(module_, info) != kIconResourceSize) return false;
  HGLOBAL data = LoadResource(module_, info);
  const auto* bytes = data ? static_cast<const std::uint8_t*>(LockResource(data)) : nullptr;
  if (!bytes) return false;
  iconPixels_.assign(bytes + 40, bytes + kIconResourceSize);
  return true;
}

void TIProgressAlert::PaintIcon(const DRAWITEMSTRUCT& item) {
  // The icon's alpha blended over the button face, then copied in one go.
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const int faceRgb[3] = {GetBValue(face), GetGValue(face), GetRValue(face)};
  std::vector<std::uint8_t> out(iconPixels_.size());
  for (std::size_t i = 0; i + 3 < iconPixels_.size(); i += 4) {
    const int alpha = iconPixels_[i + 3];
    for (int c = 0; c < 3; ++c) out[i + c] = static_cast<std::uint8_t>((iconPixels_[i + c] * alpha + faceRgb[c] * (255 - alpha)) / 255);
  }
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = 32;
  bi.bmiHeader.biHeight = 32;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(item.hDC, 0, 0, 32, 32, 0, 0, 0, 32, out.data(), &bi, DIB_RGB_COLORS);
}

TRect TIProgressAlert::Measure(const std::vector<std::u16string>& captions) {
  TRect size;
  for (const std::u16string& caption : captions) {
    RECT r{0, 0, kCaptionWrapWidth, 0};
    DrawTextW(dc_, Wide(caption), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    size.width = std::max<int>(size.width, r.right - r.left);
    size.height = std::max<int>(size.height, r.bottom - r.top);
  }
  return size;
}

void TIProgressAlert::Place(const TProgressLayout& layout, bool activate) {
  HWND hwnd = window_.load();
  if (activate) {
    const TRect at = CentredPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                     layout.windowWidth, layout.windowHeight);
    SetWindowPos(hwnd, HWND_TOPMOST, at.left, at.top, at.width, at.height, 0);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    BringWindowToTop(hwnd);
    SetForegroundWindow(hwnd);
    return;
  }
  RECT work;
  TRect area;
  if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
    area = {work.left, work.top, work.right - work.left, work.bottom - work.top};
  } else {
    area = {0, 0, GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CYFULLSCREEN) + GetSystemMetrics(SM_CYCAPTION)};
  }
  int slot = 0;
  if (!slotEvent_) {
    slot = ReserveStackingSlot([&](const std::u16string& name) {
      HANDLE event = CreateEventW(nullptr, TRUE, FALSE, Wide(name));
      if (!event) return false;
      if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(event);
        return false;
      }
      slotEvent_ = event;
      return true;
    });
    slot_ = std::max(slot, 0);
  }
  const TRect at = StackedPosition(area, layout.windowWidth, layout.windowHeight, slot_);
  SetWindowPos(hwnd, HWND_TOPMOST, at.left, at.top, at.width, at.height, SWP_NOACTIVATE);
  ShowWindow(hwnd, SW_SHOWNOACTIVATE);
}

bool TIProgressAlert::Show(kelvane::TWindowHandle parentWindow, bool activate) {
  if (window_.load()) return false;
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof(icc);
  icc.dwICC = ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&icc);
  if (!RegisterWindowClass()) return false;
  std::vector<std::u16string> captions;
  std::u16string title;
  {
    std::lock_guard lock(mutex_);
    if (areas_.Count() == 0) areas_.AddArea(kPleaseWait, 1000);
    captions = areas_.CaptionsAhead();
    title = title_;
  }
  parent_ = kelvane::ToHwnd(parentWindow);
  // Remember the parent's state, to give it back unchanged on close.
  if (parent_) parentWasEnabled_ = !EnableWindow(parent_, FALSE);
  ownerThread_ = GetCurrentThreadId();
  closing_ = false;

  HWND hwnd = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, Wide(title),
                              WS_POPUP | WS_CAPTION, 0, 0, 100, 100, parent_, nullptr, GetModuleHandleW(nullptr),
                              nullptr);
  if (!hwnd) {
    if (parent_) EnableWindow(parent_, parentWasEnabled_);
    return false;
  }
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
  window_ = hwnd;
  if (HMENU menu = GetSystemMenu(hwnd, FALSE)) {
    for (UINT command : {SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE}) DeleteMenu(menu, command, MF_BYCOMMAND);
  }

  const TRect text = Measure(captions);
  const bool hasIcon = LoadIcon();
  TProgressMetrics metrics{GetSystemMetrics(SM_CXDLGFRAME), GetSystemMetrics(SM_CYDLGFRAME),
                           GetSystemMetrics(SM_CYSMCAPTION), GetSystemMetrics(SM_CXVSCROLL)};
  const TProgressLayout layout = LayOutProgress(text.width, text.height, hasIcon, metrics);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (hasIcon) {
    icon_ = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_DISABLED | BS_OWNERDRAW, layout.icon.left,
                            layout.icon.top, 32, 32, hwnd, reinterpret_cast<HMENU>(kIconId), instance, nullptr);
  }
  label_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, layout.label.left,
                           layout.label.top, layout.label.width, layout.label.height, hwnd, nullptr, instance, nullptr);
  SendMessageW(label_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  bar_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, layout.bar.left, layout.bar.top,
                         layout.bar.width, layout.bar.height, hwnd, nullptr, instance, nullptr);
  SendMessageW(bar_, PBM_SETRANGE32, 0, 1000);
  RefreshText();
  Place(layout, activate);
  SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(GetBarPosition()), 0);
  UpdateWindow(hwnd);
  return true;
}

void TIProgressAlert::RefreshText() {
  std::u16string title, caption;
  {
    std::lock_guard lock(mutex_);
    title = title_;
    caption = areas_.CurrentCaption();
  }
  HWND hwnd = window_.load();
  if (!hwnd) return;
  SetWindowTextW(hwnd, Wide(title));
  if (label_) SetWindowTextW(label_, Wide(caption));
}

void TIProgressAlert::Destroyed() {
  window_ = nullptr;
  icon_ = label_ = bar_ = nullptr;
  if (parent_) RestoreParent(parent_, parentWasEnabled_);
  parent_ = nullptr;
}

LRESULT CALLBACK TIProgressAlert::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TIProgressAlert*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) {
    if (msg == WM_NCDESTROY) {
      if (auto* restore = static_cast<TParentRestore*>(RemovePropW(hwnd, kParentRestoreProp))) {
        RestoreParent(restore->parent, restore->wasEnabled);
        delete restore;
      }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->Destroyed();
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  return self->Handle(msg, wParam, lParam);
}

LRESULT TIProgressAlert::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = window_.load();
  switch (msg) {
    case kSetBar:
      if (bar_) SendMessageW(bar_, PBM_SETPOS, wParam, 0);
      return 0;
    case kRefreshText:
      RefreshText();
      return 0;
    case WM_CLOSE:
      // Alt+F4 and the like: only a close that Close asked for counts.
      if (closing_) DestroyWindow(hwnd);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        if (closing_) DestroyWindow(hwnd);
        return 0;
      }
      break;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item && item->CtlID == kIconId) {
        PaintIcon(*item);
        return TRUE;
      }
      break;
    }
    default:
      break;
  }
  return hwnd ? DefWindowProcW(hwnd, msg, wParam, lParam) : 0;
}

}  // namespace

PProgressAlert CreateProgressAlert(const std::u16string& title, kelvane::TModuleHandle bitmapModule,
                                   const std::u16string& bitmapName) {
  return std::make_shared<TIProgressAlert>(title, kelvane::ToHmodule(bitmapModule), bitmapName);
}

}  // namespace ruvex
