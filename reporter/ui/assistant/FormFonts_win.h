#pragma once
// The assistant's fonts and the measure over them, for the layout and for
// the window that shows the form with the same fonts.
#include <windows.h>

#include "reporter/ui/assistant/FormLayout.h"

namespace ruvex {

class TGdiTextMeasure final : public ITextMeasure {
 public:
  TGdiTextMeasure();
  ~TGdiTextMeasure() override;
  TGdiTextMeasure(const TGdiTextMeasure&) = delete;
  TGdiTextMeasure& operator=(const TGdiTextMeasure&) = delete;

  bool Ready() const { return dc_ && dialog_ && header_; }
  HFONT DialogFont() const { return dialog_; }
  HFONT HeaderFont() const { return header_; }
  TTextExtent Extent(std::u16string_view text, TNVFont font) const override;
  int WrappedHeight(std::u16string_view text, int width) const override;

 private:
  HDC dc_;
  HFONT dialog_ = nullptr;
  HFONT header_ = nullptr;
};

}  // namespace ruvex
