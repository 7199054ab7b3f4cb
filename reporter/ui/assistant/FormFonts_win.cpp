#include "reporter/ui/assistant/FormFonts_win.h"

#include <string>

#include "reporter/ui/assistant/FormFonts.h"

namespace ruvex {

namespace {

constexpr int kDialogFontHeight = 11;
constexpr int kHeaderFontHeight = 15;

HFONT MakeFont(const wchar_t* face, int height, int weight) {
  return CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

// Whether the font mapper gave the face asked for rather than a substitute.
bool HasFace(HDC dc, HFONT font, const wchar_t* face) {
  const HGDIOBJ old = SelectObject(dc, font);
  wchar_t got[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, got);
  SelectObject(dc, old);
  return lstrcmpiW(got, face) == 0;
}

}  // namespace

TGdiTextMeasure::TGdiTextMeasure() : dc_(CreateCompatibleDC(nullptr)) {
  dialog_ = MakeFont(L"Tahoma", kDialogFontHeight, FW_NORMAL);
  if (dc_ && dialog_ && !HasFace(dc_, dialog_, L"Tahoma")) {
    DeleteObject(dialog_);
    dialog_ = MakeFont(L"MS Sans Serif", kDialogFontHeight, FW_NORMAL);
  }
  header_ = MakeFont(L"Arial", kHeaderFontHeight, FW_BOLD);
}

TGdiTextMeasure::~TGdiTextMeasure() {
  if (dialog_) DeleteObject(dialog_);
  if (header_) DeleteObject(header_);
  if (dc_) DeleteDC(dc_);
}

TTextExtent TGdiTextMeasure::Extent(std::u16string_view text, TNVFont font) const {
  const HGDIOBJ old = SelectObject(dc_, font == TNVFont::header ? header_ : dialog_);
  SIZE size{};
  // An empty text still has the font's line height.
  const std::u16string measured = text.empty() ? std::u16string(u" ") : std::u16string(text);
  GetTextExtentPoint32W(dc_, reinterpret_cast<LPCWSTR>(measured.c_str()), static_cast<int>(measured.size()), &size);
  SelectObject(dc_, old);
  return {text.empty() ? 0 : int(size.cx), int(size.cy)};
}

int TGdiTextMeasure::WrappedHeight(std::u16string_view text, int width) const {
  const HGDIOBJ old = SelectObject(dc_, dialog_);
  RECT area{0, 0, width, 0};
  const std::u16string measured(text);
  const int height = DrawTextW(dc_, reinterpret_cast<LPCWSTR>(measured.c_str()), static_cast<int>(measured.size()),
                               &area, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc_, old);
  return height;
}

std::unique_ptr<ITextMeasure> CreateFormTextMeasure() {
  auto measure = std::make_unique<TGdiTextMeasure>();
  if (!measure->Ready()) return nullptr;
  return measure;
}

}  // namespace ruvex
