#include "reporter/ui/assistant/FormWindow.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/win/NativeHandles_win.h"
#include "reporter/ui/assistant/FormFonts_win.h"
#include "reporter/ui/assistant/FormLayout.h"

namespace ruvex {

namespace {

const wchar_t* WideClass() { return reinterpret_cast<const wchar_t*>(kFormWindowClass); }
const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

COLORREF Shifted(COLORREF colour, int delta) {
  const auto channel = [delta](int value) { return std::clamp(value + delta, 0, 255); };
  return RGB(channel(GetRValue(colour)), channel(GetGValue(colour)), channel(GetBValue(colour)));
}

// Owns the brushes of one shown form.
struct TFormBrushes {
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  COLORREF background = Shifted(face, 8);
  HBRUSH backgroundBrush = CreateSolidBrush(background);
  HBRUSH panelBrush = CreateSolidBrush(face);
  HBRUSH editBrush = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
  ~TFormBrushes() {
    DeleteObject(backgroundBrush);
    DeleteObject(panelBrush);
    DeleteObject(editBrush);
  }
};

class TFormWindow {
 public:
  TFormWindow(TNVForm& form, const TGdiTextMeasure& measure) : form_(form), measure_(measure) {}
  ~TFormWindow() {
    if (IsWindow(window_)) DestroyWindow(window_);
  }
  TFormWindow(const TFormWindow&) = delete;
  TFormWindow& operator=(const TFormWindow&) = delete;

  TNVModalResult Run(HWND parent) {
    if (!form_.BeginShow()) return nvmSkip;
    layout_ = LayoutForm(form_, measure_);
    if (!Create(parent)) return nvmCancel;
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    if (form_.FTimer > 0) SetTimer(window_, kFormTimerId, static_cast<UINT>(form_.FTimer), nullptr);
    Loop();
    return result_ == nvmInvalid ? nvmCancel : result_;
  }

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE)
      SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
    auto* self = reinterpret_cast<TFormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, w, l);
    return self->Handle(window, message, w, l);
  }

 private:
  bool Create(HWND parent) {
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME;
    RECT frame{0, 0, layout_.width, layout_.height};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    window_ = CreateWindowExW(exStyle, WideClass(), Wide(form_.FTitle), style, x, y, width, height, parent, nullptr,
                              GetModuleHandleW(nullptr), this);
    if (!window_) return false;
    controls_.assign(std::size_t(form_.ItemCount()), nullptr);
    for (int i = 0; i < form_.ItemCount(); ++i) CreateControl(i);
    SyncContinueButton();
    if (TNVItem* first = form_.FirstFocus()) Focus(first);
    return true;
  }

  void CreateControl(int index) {
    TNVItem& item = *form_.Item(index);
    const TNVRect& r = layout_.items[std::size_t(index)];
    if (r.width == 0 && r.height == 0) return;  // an invisible button
    const wchar_t* className = L"BUTTON";
    std::u16string text;
    DWORD style = WS_CHILD | WS_VISIBLE | (item.Focusable() ? WS_TABSTOP : 0);
    switch (item.Kind()) {
      case TNVItemKind::button: {
        const auto& button = static_cast<TNVButton&>(item);
        text = button.FCaption;
        style |= button.FNoOwnerDraw ? BS_PUSHBUTTON : BS_OWNERDRAW;
        break;
      }
      case TNVItemKind::label:
        className = L"STATIC";
        text = static_cast<TNVLabel&>(item).ShownText();
        style |= SS_LEFT | SS_NOPREFIX;
        break;
      case TNVItemKind::edit: {
        const auto& edit = static_cast<TNVEdit&>(item);
        className = L"EDIT";
        text = edit.FText;
        style |= WS_BORDER | (edit.MultiLine() ? ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL
                                               : ES_AUTOHSCROLL);
        break;
      }
      case TNVItemKind::checkBox:
        text = static_cast<TNVCheckBox&>(item).FCaption;
        style |= BS_OWNERDRAW;
        break;
      case TNVItemKind::image:
        className = L"STATIC";
        style |= SS_OWNERDRAW | SS_NOTIFY;
        break;
    }
    HWND control = CreateWindowExW(0, className, Wide(text), style, r.left, r.top, r.width, r.height, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFormControlIdBase + index)),
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(measure_.DialogFont()), FALSE);
    EnableWindow(control, item.FEnabled && !item.FForceDisabled);
    controls_[std::size_t(index)] = control;
  }

  TNVItem* ItemOf(HWND control) const {
    for (std::size_t i = 0; i < controls_.size(); ++i)
      if (controls_[i] && controls_[i] == control) return form_.Item(int(i));
    return nullptr;
  }
  HWND ControlOf(const TNVItem* item) const {
    return item && std::size_t(item->FIndex) < controls_.size() ? controls_[std::size_t(item->FIndex)] : nullptr;
  }
  void Focus(TNVItem* item) {
    if (HWND control = ControlOf(item)) SetFocus(control);
  }

  void SyncContinueButton() {
    if (HWND next = controls_[kContinueButtonIndex]) EnableWindow(next, form_.ContinueButton().FEnabled);
  }

  void End(TNVModalResult result) {
    if (result == nvmInvalid) return;
    result_ = result;
    KillTimer(window_, kFormTimerId);
    DestroyWindow(window_);
  }

  void TakeEditText(TNVItem& item) {
    HWND control = ControlOf(&item);
    const int length = GetWindowTextLengthW(control);
    std::u16string text(std::size_t(length) + 1, u'\0');
    GetWindowTextW(control, reinterpret_cast<wchar_t*>(text.data()), length + 1);
    text.resize(std::size_t(length));
    static_cast<TNVEdit&>(item).FText = std::move(text);
  }

  void OnCommand(HWND control, int code) {
    TNVItem* item = ItemOf(control);
    if (!item) return;
    if (item->FIndex < kFirstContentIndex) {
      if (code == BN_CLICKED) End(form_.PressButton(item->FIndex));
      return;
    }
    const bool edited = item->Kind() == TNVItemKind::edit && code == EN_CHANGE;
    const bool clicked = (item->Kind() == TNVItemKind::button || item->Kind() == TNVItemKind::checkBox) &&
                         code == BN_CLICKED;
    const bool imageClicked = item->Kind() == TNVItemKind::image && code == STN_CLICKED &&
                              static_cast<TNVImage&>(*item).FClickable;
    if (!edited && !clicked && !imageClicked) return;
    // Every change is read at once: the "Next >" rule looks at the text.
    if (edited) TakeEditText(*item);
    form_.ItemEvent(item);
    SyncContinueButton();
    InvalidateRect(control, nullptr, TRUE);
  }

  COLORREF EditColour(const TNVEdit& edit) const {
    if (edit.FNColored) return RGB(0, 0, 0);
    const bool invalid = edit.FNValid || (!edit.FOptional && edit.FText.empty());
    return invalid ? RGB(0x80, 0, 0) : RGB(0, 0x64, 0);
  }

  void DrawItem(const DRAWITEMSTRUCT& draw) {
    TNVItem* item = ItemOf(draw.hwndItem);
    if (!item) return;
    RECT r = draw.rcItem;
    const bool disabled = draw.itemState & ODS_DISABLED;
    SetBkMode(draw.hDC, TRANSPARENT);
    SelectObject(draw.hDC, measure_.DialogFont());
    SetTextColor(draw.hDC, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    if (item->Kind() == TNVItemKind::checkBox) {
      FillRect(draw.hDC, &r, brushes_.panelBrush);
      const int box = 13, top = r.top + (r.bottom - r.top - box) / 2;
      RECT mark{r.left, top, r.left + box, top + box};
      DrawFrameControl(draw.hDC, &mark, DFC_BUTTON,
                       DFCS_BUTTONCHECK | (static_cast<TNVCheckBox&>(*item).FChecked ? DFCS_CHECKED : 0) |
                           (disabled ? DFCS_INACTIVE : 0));
      RECT caption{r.left + box + 4, r.top, r.right, r.bottom};
      const std::u16string& text = static_cast<TNVCheckBox&>(*item).FCaption;
      DrawTextW(draw.hDC, Wide(text), int(text.size()), &caption, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
      if (draw.itemState & ODS_FOCUS) DrawFocusRect(draw.hDC, &caption);
      return;
    }
    if (item->Kind() == TNVItemKind::image) {
      FillRect(draw.hDC, &r, brushes_.panelBrush);
      if (static_cast<TNVImage&>(*item).FBorder) FrameRect(draw.hDC, &r, GetSysColorBrush(COLOR_BTNSHADOW));
      return;
    }
    const bool pushed = draw.itemState & ODS_SELECTED;
    DrawFrameControl(draw.hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
    const std::u16string& text = static_cast<TNVButton&>(*item).FCaption;
    DrawTextW(draw.hDC, Wide(text), int(text.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (draw.itemState & ODS_FOCUS) {
      InflateRect(&r, -4, -4);
      DrawFocusRect(draw.hDC, &r);
    }
  }

  void Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    RECT client;
    GetClientRect(window_, &client);
    FillRect(dc, &client, brushes_.backgroundBrush);
    const TNVRect& p = layout_.panel;
    RECT panel{p.left, p.top, p.left + p.width, p.top + p.height};
    FillRect(dc, &panel, brushes_.panelBrush);
    LOGBRUSH frameColour{BS_SOLID, Shifted(brushes_.face, -16), 0};
    HPEN dotted = ExtCreatePen(PS_GEOMETRIC | PS_DOT, 2, &frameColour, 0, nullptr);
    const HGDIOBJ oldPen = SelectObject(dc, dotted);
    const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, panel.left, panel.top, panel.right, panel.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(dotted);
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, measure_.HeaderFont());
    SetTextColor(dc, GetSysColor(COLOR_3DDKSHADOW));
    TextOutW(dc, 11, 6, Wide(form_.FMessage), int(form_.FMessage.size()));
    PaintSteps(dc);
    EndPaint(window_, &paint);
  }

  // With more than one step, the numbers 1 ... n at the top right, the
  // current one bold in a small box.
  void PaintSteps(HDC dc) {
    if (form_.FSteps <= 1) return;
    SelectObject(dc, measure_.DialogFont());
    for (int step = 1; step <= form_.FSteps; ++step) {
      const int right = layout_.width - 8 - (form_.FSteps - step) * kStepPitch;
      RECT cell{right - kStepPitch + 2, 6, right, 6 + kStepPitch - 2};
      const bool current = step == form_.FStep;
      if (current) {
        TRIVERTEX corners[2] = {{cell.left, cell.top, 0xff00, 0xff00, 0xff00, 0},
                                {cell.right, cell.bottom, 0xc000, 0xc000, 0xc000, 0}};
        GRADIENT_RECT span{0, 1};
        GradientFill(dc, corners, 2, &span, 1, GRADIENT_FILL_RECT_V);
      }
      SetTextColor(dc, GetSysColor(current ? COLOR_WINDOWTEXT : COLOR_BTNSHADOW));
      const std::wstring number = std::to_wstring(step);
      DrawTextW(dc, number.c_str(), int(number.size()), &cell, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    }
  }

  LRESULT Handle(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
      case WM_COMMAND:
        OnCommand(reinterpret_cast<HWND>(l), HIWORD(w));
        return 0;
      case WM_DRAWITEM:
        DrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(l));
        return TRUE;
      case WM_CTLCOLOREDIT:
        if (TNVItem* item = ItemOf(reinterpret_cast<HWND>(l)); item && item->Kind() == TNVItemKind::edit) {
          SetTextColor(reinterpret_cast<HDC>(w), EditColour(static_cast<TNVEdit&>(*item)));
          SetBkColor(reinterpret_cast<HDC>(w), GetSysColor(COLOR_WINDOW));
          return reinterpret_cast<LRESULT>(brushes_.editBrush);
        }
        break;
      case WM_CTLCOLORSTATIC:
        SetBkColor(reinterpret_cast<HDC>(w), brushes_.face);
        return reinterpret_cast<LRESULT>(brushes_.panelBrush);
      case WM_ERASEBKGND:
        return TRUE;
      case WM_PAINT:
        Paint();
        return 0;
      case WM_TIMER:
        if (w == kFormTimerId) {
          form_.ItemEvent(nullptr);
          SyncContinueButton();
        }
        return 0;
      case WM_CLOSE:
        End(form_.SystemClose());
        return 0;
      case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        window_ = nullptr;
        break;
    }
    return DefWindowProcW(window, message, w, l);
  }

  // The keys of the Part's message loop; true when the key was taken.
  bool OnKey(const MSG& message) {
    if (message.message != WM_KEYDOWN) return false;
    if (message.hwnd != window_ && GetParent(message.hwnd) != window_) return false;
    TNVItem* focused = ItemOf(GetFocus());
    switch (message.wParam) {
      case VK_ESCAPE:
        End(form_.Escape());
        return true;
      case VK_TAB:
        Focus(form_.NextFocus(focused, GetKeyState(VK_SHIFT) < 0));
        return true;
      case VK_RETURN:
        if (!focused) return false;
        if (focused->Kind() == TNVItemKind::edit && static_cast<TNVEdit*>(focused)->MultiLine()) return false;
        if (focused->Kind() == TNVItemKind::button) {
          SendMessageW(ControlOf(focused), BM_CLICK, 0, 0);
          return true;
        }
        Focus(form_.NextFocus(focused));
        return true;
      default:
        return false;
    }
  }

  void Loop() {
    MSG message;
    while (window_ && IsWindow(window_)) {
      const BOOL got = GetMessageW(&message, nullptr, 0, 0);
      if (got <= 0) {
        // A quit request belongs to the program's own loop: give it back.
        if (got == 0) PostQuitMessage(int(message.wParam));
        if (window_) End(form_.SystemClose());
        return;
      }
      if (OnKey(message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

  TNVForm& form_;
  const TGdiTextMeasure& measure_;
  TFormBrushes brushes_;
  TFormLayout layout_;
  HWND window_ = nullptr;
  std::vector<HWND> controls_;
  TNVModalResult result_ = nvmInvalid;
};

bool RegisterFormClass() {
  WNDCLASSEXW info{sizeof info};
  if (GetClassInfoExW(GetModuleHandleW(nullptr), WideClass(), &info)) return true;
  info = WNDCLASSEXW{sizeof info};
  info.lpfnWndProc = TFormWindow::Procedure;
  info.hInstance = GetModuleHandleW(nullptr);
  info.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  info.lpszClassName = WideClass();
  return RegisterClassExW(&info) != 0;
}

class TWin32FormWindows final : public IFormWindows {
 public:
  void EnableParent(kelvane::TWindowHandle parent, bool enable) override {
    HWND window = kelvane::ToHwnd(parent);
    if (!window) return;
    EnableWindow(window, enable);
    if (enable) SetActiveWindow(window);
  }

  TNVModalResult ShowModal(TNVForm& form, kelvane::TWindowHandle parent) override {
    TGdiTextMeasure measure;
    if (!measure.Ready() || !RegisterFormClass()) return nvmCancel;
    TFormWindow window(form, measure);
    return window.Run(kelvane::ToHwnd(parent));
  }
};

}  // namespace

std::unique_ptr<IFormWindows> CreateFormWindows() { return std::make_unique<TWin32FormWindows>(); }

}  // namespace ruvex
