#pragma once
// The pixel layout of a box, computed from measured text extents alone so
// that it is the same on Linux (tests) and in the real window.
#include <array>
#include <string>

#include "reporter/ui/box/BoxPlan.h"

namespace ruvex {

struct TBoxSize {
  int width = 0, height = 0;
  bool operator==(const TBoxSize&) const = default;
};

struct TBoxRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool Empty() const { return width <= 0 || height <= 0; }
  bool operator==(const TBoxRect&) const = default;
};

// Text extents in the dialog font, as the window measures them.
class IBoxTextExtents {
 public:
  virtual ~IBoxTextExtents() = default;
  // One line; "&" marks a mnemonic and takes no room.
  virtual TBoxSize Caption(std::u16string_view caption) const = 0;
  // Word-wrapped in `width`.
  virtual TBoxSize Wrapped(std::u16string_view text, int width) const = 0;
};

struct TBoxScreen {
  int width = 1024, height = 768;
  int captionHeight = 18;  // of a window title bar
};

struct TBoxLayoutInput {
  const TBoxPlan* plan = nullptr;
  bool hasIcon = false;
  TBoxScreen screen;
  int boxMinWidth = 0;
  int boxDetailsHeight = 0;
};

struct TBoxLayout {
  TBoxSize client;  // inside the frame
  std::array<TBoxRect, kButtonCount> buttons{};  // empty: not shown
  std::array<int, kButtonCount> slotWidths{};
  TBoxRect text, icon, tabs;
  int buttonHeight = 22;
  int rows = 2;
  bool stacked = false;
};

inline constexpr int kSmallButtonMinimum = 75, kSmallButtonWidth = 79;
inline constexpr int kBoxMinWidth = 664;
inline constexpr int kDetailsHeight = 491;

int ButtonHeight(const TBoxPlan& plan);
TBoxLayout LayOutBox(const TBoxLayoutInput& input, const IBoxTextExtents& extents);

}  // namespace ruvex
