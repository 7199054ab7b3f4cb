#pragma once
// Where the items of an assistant form go: a pure function over measured
// text, so that the window only measures, places and paints.
#include <string_view>
#include <vector>

#include "reporter/ui/assistant/NVForm.h"

namespace ruvex {

enum class TNVFont { dialog, header };

struct TTextExtent {
  int width = 0;
  int height = 0;
};

// The window's fonts measure; tests measure with fixed cell sizes.
class ITextMeasure {
 public:
  virtual ~ITextMeasure() = default;
  virtual TTextExtent Extent(std::u16string_view text, TNVFont font) const = 0;
  // The height of dialog-font text wrapped within `width`.
  virtual int WrappedHeight(std::u16string_view text, int width) const = 0;
};

inline constexpr int kFormMinWidth = 315;
inline constexpr int kStepPitch = 19;
inline constexpr int kMessageSlack = 36;
inline constexpr int kButtonRowSlack = 32;
inline constexpr int kContentLeft = 21;
inline constexpr int kContentTop = 40;
inline constexpr int kContentInset = 46;
inline constexpr int kButtonHeight = 23;
inline constexpr int kButtonMargin = 8;
inline constexpr int kButtonCaptionPadding = 16;
inline constexpr int kCheckBoxPadding = 4;
inline constexpr int kFormBottomSlack = 33;
inline constexpr int kPanelLeft = 8;
inline constexpr int kPanelTop = 25;
inline constexpr int kPanelRightInset = 9;
inline constexpr int kPanelAboveButtons = 10;

struct TFormLayout {
  int width = 0;
  int height = 0;
  std::vector<TNVRect> items;  // by item index; invisible buttons keep a zero rectangle
  std::vector<int> gaps;       // after each content item, in content order
  TNVRect panel;
};

// A label whose caption (its name when empty) ends with ":" or "?" and fits
// on one line within `width`.
bool IsHeadLabel(const TNVItem& item, int width, const ITextMeasure& measure);

TFormLayout LayoutForm(const TNVForm& form, const ITextMeasure& measure);

}  // namespace ruvex
