#pragma once
// The box's fonts and the text extents measured with them (Windows).
#include <windows.h>

#include "reporter/ui/box/BoxLayout.h"

namespace ruvex {

// Dialog font ("Tahoma" 11 pixels, else "MS Sans Serif" 12), fixed font
// ("Courier New" 11), small font ("Small Fonts" 8).
class TBoxFonts {
 public:
  TBoxFonts();
  ~TBoxFonts();
  TBoxFonts(const TBoxFonts&) = delete;
  TBoxFonts& operator=(const TBoxFonts&) = delete;
  HFONT Dialog() const { return dialog_; }
  HFONT Fixed() const { return fixed_; }
  HFONT Small() const { return small_; }

 private:
  HFONT dialog_, fixed_, small_;
};

// Extents as DrawText finds them in the given font; the static text of the
// box draws with the same flags.
class TGdiTextExtents : public IBoxTextExtents {
 public:
  explicit TGdiTextExtents(HFONT font);
  ~TGdiTextExtents() override;
  TGdiTextExtents(const TGdiTextExtents&) = delete;
  TGdiTextExtents& operator=(const TGdiTextExtents&) = delete;
  TBoxSize Caption(std::u16string_view caption) const override;
  TBoxSize Wrapped(std::u16string_view text, int width) const override;

 private:
  HDC dc_;
  HGDIOBJ oldFont_;
};

inline constexpr UINT kBoxTextFormat = DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;

// The screen as the box's layout sees it.
TBoxScreen BoxScreen();

}  // namespace ruvex
