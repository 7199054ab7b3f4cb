#include "reporter/ui/box/BoxWindow_win.h"

#include <commctrl.h>
#include <mmsystem.h>

#include <algorithm>

#include "common/win/NativeHandles_win.h"
#include "reporter/ui/box/Countdown.h"

namespace ruvex {

namespace {

constexpr DWORD kBoxStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
constexpr DWORD kSizingStyle = WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD kBoxExStyle = WS_EX_TOPMOST | WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr int kFlashSteps = 8;

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

HMODULE ModuleOf(IREException& e) {
  HMODULE m = kelvane::ToHmodule(e.Module());
  return m ? m : GetModuleHandleW(nullptr);
}

void RegisterBoxClass() {
  WNDCLASSW wc{};
  if (GetClassInfoW(GetModuleHandleW(nullptr), kBoxWindowClass, &wc)) return;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kBoxWindowClass;
  RegisterClassW(&wc);
}

// The button face: 0x101010 lighter, or darker when two or more channels
// would overflow; half of that for a disabled button.
COLORREF ShiftedFace(COLORREF face, bool disabled) {
  int shift = disabled ? 8 : 16;
  int r = GetRValue(face), g = GetGValue(face), b = GetBValue(face);
  int overflow = (r + shift > 255) + (g + shift > 255) + (b + shift > 255);
  if (overflow >= 2) shift = -shift;
  auto clamp = [](int v) { return std::clamp(v, 0, 255); };
  return RGB(clamp(r + shift), clamp(g + shift), clamp(b + shift));
}

COLORREF Blend(COLORREF a, COLORREF b, int step, int steps) {
  auto mix = [&](int x, int y) { return x + (y - x) * step / steps; };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

void DrawGraphic(HDC dc, const TGlyph& glyph, int x, int y) {
  if (!glyph) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = glyph.width;
  info.bmiHeader.biHeight = glyph.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp) return;
  std::copy(glyph.pixels.begin(), glyph.pixels.end(), static_cast<std::uint32_t*>(bits));
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, bmp);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, x, y, glyph.width, glyph.height, mem, 0, 0, glyph.width, glyph.height, blend);
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(bmp);
}

bool DeepDisplay() {
  HDC screen = GetDC(nullptr);
  int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  return bits > 14;
}

}  // namespace

TGlyph LoadGlyph(HMODULE module, const wchar_t* name, int size) {
  TGlyph glyph;
  HRSRC res = FindResourceW(module, name, MAKEINTRESOURCEW(2));  // RT_BITMAP
  if (!res || SizeofResource(module, res) != 40u + 4u * size * size) return glyph;
  HGLOBAL data = LoadResource(module, res);
  auto* bytes = data ? static_cast<const std::uint8_t*>(LockResource(data)) : nullptr;
  if (!bytes) return glyph;
  glyph.width = glyph.height = size;
  glyph.pixels.resize(static_cast<std::size_t>(size) * size);
  const std::uint8_t* p = bytes + 40;
  for (auto& pixel : glyph.pixels) {
    std::uint32_t a = p[3];
    // AlphaBlend wants the colours premultiplied.
    pixel = (a << 24) | ((p[2] * a / 255) << 16) | ((p[1] * a / 255) << 8) | (p[0] * a / 255);
    p += 4;
  }
  return glyph;
}

TExceptionBox::TExceptionBox(IREException& exception, const TBoxPlan& plan, const TBoxHooks& hooks)
    : FExc(exception), plan_(plan), hooks_(hooks) {
  HMODULE module = ModuleOf(exception);
  if (plan_.ownerDrawn)
    for (int b = 0; b < kButtonCount; ++b) {
      auto name = GlyphResourceName(static_cast<TREButton>(b), plan_.continueDisabled);
      glyphs_[b] = LoadGlyph(module, W(name), 16);
    }
  if (!plan_.Small()) bigIcon_ = LoadGlyph(module, L"REIBIG", 32);
  Build();
  FExc.RegisterBugReportCallback(this, [hwnd = FMainWnd](bool, const std::u16string&, IREException&) {
    PostMessageW(hwnd, kMsgReportChanged, 1357, 2468);
  }, false);
}

TExceptionBox::~TExceptionBox() {
  FExc.UnregisterBugReportCallback(this);
  if (IsWindow(FMainWnd)) CloseMainWnd();
}

void TExceptionBox::Build() {
  RegisterBoxClass();
  TGdiTextExtents extents(fonts_.Dialog());
  TBoxLayoutInput input;
  input.plan = &plan_;
  input.hasIcon = static_cast<bool>(bigIcon_);
  input.screen = BoxScreen();
  input.boxMinWidth = hooks_.options.boxMinWidth;
  input.boxDetailsHeight = hooks_.options.boxDetailsHeight;
  layout_ = LayOutBox(input, extents);

  DWORD style = kBoxStyle | (plan_.autoShowBugReport ? kSizingStyle : 0);
  RECT outer{0, 0, layout_.client.width, layout_.client.height};
  AdjustWindowRectEx(&outer, style, FALSE, kBoxExStyle);
  int w = outer.right - outer.left, h = outer.bottom - outer.top;
  FMinSize = {w, h};
  clientAtStart_ = {layout_.client.width, layout_.client.height};
  FMainWnd = CreateWindowExW(kBoxExStyle, kBoxWindowClass, W(plan_.title), style, (input.screen.width - w) / 2,
                             (input.screen.height - h) / 2, w, h, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!FMainWnd) return;
  SetWindowLongPtrW(FMainWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(FMainWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
  if (!plan_.autoShowBugReport) {
    HMENU menu = GetSystemMenu(FMainWnd, FALSE);
    for (UINT item : {SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE}) DeleteMenu(menu, item, MF_BYCOMMAND);
  }
  const TBoxRect& t = layout_.text;
  text_ = CreateWindowExW(0, L"STATIC", W(plan_.text), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, t.x, t.y,
                          t.width, t.height, FMainWnd, nullptr, nullptr, nullptr);
  SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.Dialog()), FALSE);
  if (bigIcon_) {
    const TBoxRect& i = layout_.icon;
    FIcoWnd = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, i.x, i.y, i.width, i.height,
                              FMainWnd, nullptr, nullptr, nullptr);
  }
  CreateButtons();
  if (plan_.autoShowBugReport) CreateDetails();
}

void TExceptionBox::CreateButtons() {
  for (int b = 0; b < kButtonCount; ++b) {
    const TBoxRect& r = layout_.buttons[b];
    if (r.Empty()) continue;
    bool isDefault = plan_.focused == static_cast<TREButton>(b);
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP |
                  (plan_.Small() ? (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) : BS_OWNERDRAW);
    buttons_[b] = CreateWindowExW(0, L"BUTTON", W(plan_.captions[b]), style, r.x, r.y, r.width, r.height, FMainWnd,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstButtonId + b)), nullptr, nullptr);
    SendMessageW(buttons_[b], WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.Dialog()), FALSE);
  }
  if (plan_.continueDisabled) EnableWindow(buttons_[bContinueApplication], FALSE);
}

namespace {
std::vector<TReportPart> ReportParts(const std::shared_ptr<IREFields>& fields) {
  std::vector<TReportPart> parts;
  if (!fields) return parts;
  for (int i = 0; i < fields->GetItemCount(); ++i) parts.push_back({fields->GetItem(i), fields->GetContentAt(i)});
  return parts;
}
}  // namespace

void TExceptionBox::CreateDetails() {
  const TBoxRect& r = layout_.tabs;
  details_ = std::make_unique<TDetailsView>(FMainWnd, RECT{r.x, r.y, r.x + r.width, r.y + r.height}, fonts_.Dialog(),
                                            fonts_.Fixed());
  details_->jumpRequest = [this](const std::u16string& line) {
    if (!hooks_.jumpRequest) return;
    // The development environment comes to the front, above the box.
    SetWindowPos(FMainWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    hooks_.jumpRequest(line);
  };
  UpdateDetails();
}

void TExceptionBox::UpdateDetails() {
  if (details_ && !FShuttingDown)
    details_->Update(ReportParts(FExc.GetBugReportHeader()), ReportParts(FExc.GetBugReportSections()));
}

void TExceptionBox::Show() {
  if (plan_.automatic) {
    FTimerBtn = plan_.automatic;
    FTime = GetTickCount64();
    SetTimer(FMainWnd, kCountdownTimer, 10, nullptr);
  }
  if (hooks_.boxCreated) hooks_.boxCreated(kelvane::FromHwnd(FMainWnd), plan_.Small());
  if (hooks_.beep) MessageBeep(MB_ICONHAND);
  ShowWindow(FMainWnd, SW_SHOW);
  if (IsIconic(FMainWnd)) ShowWindow(FMainWnd, SW_RESTORE);
  BringWindowToTop(FMainWnd);
  SetForegroundWindow(FMainWnd);
  if (plan_.focused && buttons_[*plan_.focused]) SetFocus(buttons_[*plan_.focused]);
  if (FExc.GetExceptType() == etFrozen && hooks_.frozenBoxNotify)
    PostMessageW(kelvane::ToHwnd(hooks_.frozenBoxNotify), hooks_.frozenBoxNotifyMessage,
                 reinterpret_cast<WPARAM>(FMainWnd), 0);
}

bool TExceptionBox::Run() {
  if (!FMainWnd) return false;
  Show();
  bool mainThread = hooks_.synchronize != nullptr;
  MSG msg;
  while (IsWindow(FMainWnd) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_NULL && !msg.hwnd && mainThread) {
      hooks_.synchronize();
      continue;
    }
    if (HandleKey(msg)) continue;
    if (details_ && msg.hwnd == details_->Content()) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      continue;
    }
    if (!IsDialogMessageW(FMainWnd, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return FReshow;
}

bool TExceptionBox::HandleKey(const MSG& msg) {
  if (msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN) StopCountdown();
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  // A key from the user means someone is there: no automatic action.
  StopCountdown();
  if (msg.message == WM_SYSKEYDOWN && msg.wParam != VK_F4) return false;
  auto held = [](int key) { return (GetKeyState(key) & 0x8000) != 0; };
  switch (msg.wParam) {
    case VK_ESCAPE:
      CloseRequest();
      return true;
    case VK_F1: {
      bool handled = false;
      if (auto* self = dynamic_cast<TIREException*>(&FExc))
        self->Services().firing.FireActionHandlers(FExc, eaHelp, kelvane::FromHwnd(FMainWnd), handled);
      return true;
    }
    case VK_RETURN: {
      TREButton b = ButtonOf(GetFocus());
      if (b >= kButtonCount && plan_.focused) b = *plan_.focused;
      if (b < kButtonCount && buttons_[b]) PostMessageW(FMainWnd, WM_COMMAND, MAKEWPARAM(kFirstButtonId + b, BN_CLICKED),
                                                       reinterpret_cast<LPARAM>(buttons_[b]));
      return true;
    }
  }
  if (held(VK_CONTROL) && !held(VK_MENU) && msg.wParam == 'C') {
    CopyToClipboard();
    return true;
  }
  bool hotKey = hooks_.options.detailsHotKey && msg.wParam == hooks_.options.detailsHotKey && held(VK_SHIFT) &&
                held(VK_CONTROL) && held(VK_MENU);
  if (hotKey && !plan_.autoShowBugReport && plan_.kind != TBoxKind::simple) {
    DoDetails();
    return true;
  }
  return false;
}

void TExceptionBox::CopyToClipboard() {
  std::u16string text = plan_.autoShowBugReport ? FExc.GetBugReport(false, 0) : FExc.GetExceptMessage();
  if (!OpenClipboard(FMainWnd)) return;
  EmptyClipboard();
  std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
  if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* p = GlobalLock(mem)) {
      std::copy_n(text.c_str(), text.size() + 1, static_cast<char16_t*>(p));
      GlobalUnlock(mem);
      if (!SetClipboardData(CF_UNICODETEXT, mem)) GlobalFree(mem);
    } else {
      GlobalFree(mem);
    }
  }
  CloseClipboard();
}

void TExceptionBox::CloseRequest() {
  TBoxCommand command = CommandOfCloseRequest(plan_);
  Execute(command);
}

void TExceptionBox::Execute(TBoxCommand command) {
  TWindowHandle parent = kelvane::FromHwnd(FMainWnd);
  bool ends = false;
  switch (command) {
    case TBoxCommand::none: return;
    case TBoxCommand::details: DoDetails(); return;
    case TBoxCommand::send: FExc.SendBugReport(parent); return;
    case TBoxCommand::save: FExc.SaveBugReport(parent); return;
    case TBoxCommand::print: FExc.PrintBugReport(parent); return;
    case TBoxCommand::continueApp: ends = FExc.ContinueApplication(parent); break;
    case TBoxCommand::restartApp: ends = FExc.RestartApplication(parent); break;
    case TBoxCommand::closeApp: ends = FExc.CloseApplication(parent); break;
  }
  if (!ends) return;
  if (hooks_.boxDone) hooks_.boxDone(command);
  CloseMainWnd();
}

void TExceptionBox::DoDetails() {
  bool handled = false;
  if (auto* self = dynamic_cast<TIREException*>(&FExc))
    self->Services().firing.FireActionHandlers(FExc, eaShowBugReport, kelvane::FromHwnd(FMainWnd), handled);
  FReshow = true;
  CloseMainWnd();
}

void TExceptionBox::CloseMainWnd() {
  if (!IsWindow(FMainWnd)) return;
  FShuttingDown = true;
  details_.reset();
  KillTimer(FMainWnd, kCountdownTimer);
  DestroyWindow(FMainWnd);
  // Closed from a sent message, the loop would wait in GetMessage for ever.
  PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

void TExceptionBox::StopCountdown() {
  if (!FTime) return;
  FTime = 0;
  KillTimer(FMainWnd, kCountdownTimer);
  if (FTimerBtn && buttons_[*FTimerBtn]) InvalidateRect(buttons_[*FTimerBtn], nullptr, FALSE);
}

void TExceptionBox::Tick() {
  if (!FTime || !FTimerBtn) return;
  HWND button = buttons_[*FTimerBtn];
  RECT r;
  GetClientRect(button, &r);
  auto mark = CountdownMark(GetTickCount64() - FTime, plan_.autoDelaySeconds, r.right, plan_.ownerDrawn);
  if (mark.x != FOldX) {
    FOldX = mark.x;
    InvalidateRect(button, nullptr, FALSE);
  }
  if (!mark.due) return;
  FTime = 0;
  KillTimer(FMainWnd, kCountdownTimer);
  PostMessageW(FMainWnd, WM_COMMAND, MAKEWPARAM(kFirstButtonId + *FTimerBtn, BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

TREButton TExceptionBox::ButtonOf(HWND control) const {
  for (int b = 0; b < kButtonCount; ++b)
    if (control && buttons_[b] == control) return static_cast<TREButton>(b);
  return static_cast<TREButton>(kButtonCount);
}

void TExceptionBox::FlashButton(TREButton button) {
  ULONGLONG now = GetTickCount64();
  if (button != bShowBugReport && now - FLastFocusTime < 200) return;
  FLastFocusTime = now;
  for (flashStep_ = 0; flashStep_ < kFlashSteps; ++flashStep_) {
    InvalidateRect(buttons_[button], nullptr, FALSE);
    UpdateWindow(buttons_[button]);
    Sleep(10);
  }
  flashStep_ = -1;
  InvalidateRect(buttons_[button], nullptr, FALSE);
}

void TExceptionBox::DrawButton(const DRAWITEMSTRUCT& item) {
  TREButton b = ButtonOf(item.hwndItem);
  if (b >= kButtonCount) return;
  if ((item.itemAction & ODA_FOCUS) && (item.itemState & ODS_FOCUS) && FTimerBtn && b != *FTimerBtn) StopCountdown();
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  bool focused = (item.itemState & ODS_FOCUS) != 0, disabled = (item.itemState & ODS_DISABLED) != 0;
  bool pressed = (item.itemState & ODS_SELECTED) != 0;
  bool ugly = !plan_.ownerDrawn;
  COLORREF face = GetSysColor(COLOR_BTNFACE), dark = GetSysColor(COLOR_3DDKSHADOW);
  COLORREF back = focused ? dark : (DeepDisplay() ? ShiftedFace(face, disabled) : face);
  COLORREF fore = focused ? RGB(255, 255, 255) : RGB(0, 0, 0);
  if (flashStep_ >= 0) back = Blend(dark, back, flashStep_ + 1, kFlashSteps), fore = RGB(255, 255, 255);
  if (ugly) {
    DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  } else {
    HBRUSH brush = CreateSolidBrush(back);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
  }
  DrawGraphic(dc, glyphs_[b], 3, 3);
  HGDIOBJ oldFont = SelectObject(dc, fonts_.Dialog());
  SetBkMode(dc, TRANSPARENT);
  const auto& caption = plan_.captions[b];
  RECT measure{0, 0, 0, 0};
  DrawTextW(dc, W(caption), -1, &measure, DT_CALCRECT | DT_SINGLELINE);
  int x = (r.right - measure.right - 35) / 2 + 27;
  RECT at{x, 4, r.right, r.bottom};
  if (disabled) {
    RECT shadow{x + 1, 5, r.right + 1, r.bottom + 1};
    SetTextColor(dc, RGB(255, 255, 255));
    DrawTextW(dc, W(caption), -1, &shadow, DT_SINGLELINE);
    fore = dark;
  }
  SetTextColor(dc, ugly ? GetSysColor(COLOR_BTNTEXT) : fore);
  DrawTextW(dc, W(caption), -1, &at, DT_SINGLELINE);
  SelectObject(dc, oldFont);
  if (FTime && FTimerBtn == b && FOldX > 0) {
    HPEN pen = CreatePen(PS_SOLID, 2, ugly ? dark : RGB(255, 128, 0));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    MoveToEx(dc, FOldX, r.top + 2, nullptr);
    LineTo(dc, FOldX, r.bottom - 2);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
  }
}

LRESULT CALLBACK TExceptionBox::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TExceptionBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  try {
    return self->DialogWndMethod(msg, wParam, lParam);
  } catch (...) {
    // The box stays usable whatever one message did; the core hears of it.
    if (self->hooks_.internalException) self->hooks_.internalException();
    return 0;
  }
}

LRESULT TExceptionBox::DialogWndMethod(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NULL:
      if (wParam == 777 && lParam == 777) CloseMainWnd();
      return 0;
    case WM_CLOSE:
      CloseRequest();
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        CloseRequest();
        return 0;
      }
      break;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) >= kFirstButtonId &&
          LOWORD(wParam) < kFirstButtonId + kButtonCount) {
        auto b = static_cast<TREButton>(LOWORD(wParam) - kFirstButtonId);
        StopCountdown();
        if (plan_.ownerDrawn && buttons_[b]) FlashButton(b);
        Execute(CommandOfButton(plan_, b));
        return 0;
      }
      break;
    case WM_TIMER:
      if (wParam == kCountdownTimer) Tick();
      return 0;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item.hwndItem == FIcoWnd) {
        DrawGraphic(item.hDC, bigIcon_, 0, 0);
      } else {
        DrawButton(item);
      }
      return TRUE;
    }
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (details_ && details_->OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return result;
      break;
    }
    case WM_CTLCOLORSTATIC:
      // The read-only report reads on white, as an editable text would.
      if (details_ && reinterpret_cast<HWND>(lParam) == details_->Content()) {
        SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
      }
      break;
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {FMinSize.cx, FMinSize.cy};
      return 0;
    case WM_SIZE:
      if (wParam == SIZE_RESTORED && details_) {
        int dx = LOWORD(lParam) - clientAtStart_.cx, dy = HIWORD(lParam) - clientAtStart_.cy;
        for (TREButton b : {bContinueApplication, bRestartApplication, bCloseApplication}) {
          const TBoxRect& r = layout_.buttons[b];
          if (buttons_[b]) SetWindowPos(buttons_[b], nullptr, r.x + dx, r.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        }
        const TBoxRect& t = layout_.tabs;
        details_->Resize(RECT{t.x, t.y, t.x + t.width + dx, t.y + t.height + dy});
      }
      return 0;
    default:
      if (msg == kMsgReportChanged && wParam == 1357 && lParam == 2468) {
        UpdateDetails();
        return 0;
      }
      if (msg == kMsgShowDetails) {
        DoDetails();
        return 0;
      }
      if (msg == kMsgCloseBox) {
        CloseMainWnd();
        return 0;
      }
  }
  return DefWindowProcW(FMainWnd, msg, wParam, lParam);
}

}  // namespace ruvex
