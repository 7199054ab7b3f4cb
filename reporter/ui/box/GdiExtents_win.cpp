#include "reporter/ui/box/GdiExtents_win.h"

namespace ruvex {

namespace {
HFONT MakeFont(const wchar_t* face, int height) {
  return CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}
}  // namespace

TBoxFonts::TBoxFonts()
    : dialog_(MakeFont(L"Tahoma", 11)), fixed_(MakeFont(L"Courier New", 11)), small_(MakeFont(L"Small Fonts", 8)) {
  if (!dialog_) dialog_ = MakeFont(L"MS Sans Serif", 12);
}

TBoxFonts::~TBoxFonts() {
  for (HFONT f : {dialog_, fixed_, small_})
    if (f) DeleteObject(f);
}

TGdiTextExtents::TGdiTextExtents(HFONT font) : dc_(CreateCompatibleDC(nullptr)), oldFont_(SelectObject(dc_, font)) {}

TGdiTextExtents::~TGdiTextExtents() {
  SelectObject(dc_, oldFont_);
  DeleteDC(dc_);
}

TBoxSize TGdiTextExtents::Caption(std::u16string_view caption) const {
  RECT r{0, 0, 0, 0};
  DrawTextW(dc_, reinterpret_cast<const wchar_t*>(caption.data()), static_cast<int>(caption.size()), &r,
            DT_CALCRECT | DT_SINGLELINE);
  return {r.right - r.left, r.bottom - r.top};
}

TBoxSize TGdiTextExtents::Wrapped(std::u16string_view text, int width) const {
  RECT r{0, 0, width, 0};
  DrawTextW(dc_, reinterpret_cast<const wchar_t*>(text.data()), static_cast<int>(text.size()), &r,
            DT_CALCRECT | kBoxTextFormat);
  return {r.right - r.left, r.bottom - r.top};
}

TBoxScreen BoxScreen() {
  return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), GetSystemMetrics(SM_CYCAPTION)};
}

}  // namespace ruvex
