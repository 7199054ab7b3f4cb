#pragma once
// Where the parts of the progress window go, from measured captions and the
// system's metrics; and the stacking slots of background windows.
#include <functional>
#include <string>

namespace ruvex {

struct TRect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const TRect&) const = default;
};

struct TProgressMetrics {
  int dialogFrameWidth = 3;     // SM_CXDLGFRAME
  int dialogFrameHeight = 3;    // SM_CYDLGFRAME
  int smallCaptionHeight = 16;  // SM_CYSMCAPTION
  int scrollBarWidth = 17;      // SM_CXVSCROLL
};

struct TProgressLayout {
  TRect icon;  // empty without icon
  TRect label;
  TRect bar;
  int windowWidth = 0;
  int windowHeight = 0;
};

// Captions are measured with word wrap in this width.
constexpr int kCaptionWrapWidth = 420;
constexpr int kMinLabelWidth = 220;
constexpr int kStackingSlots = 8;

// The layout for a label that must hold captions of at most maxCaptionWidth
// by maxCaptionHeight pixels.
TProgressLayout LayOutProgress(int maxCaptionWidth, int maxCaptionHeight, bool hasIcon, const TProgressMetrics& m);

// The place of a background window: the bottom right corner of the work
// area, 2 pixels from its edges, raised by slot window heights.
TRect StackedPosition(const TRect& workArea, int windowWidth, int windowHeight, int slot);

// The centre of the screen.
TRect CentredPosition(int screenWidth, int screenHeight, int windowWidth, int windowHeight);

// The name of the process-wide object that reserves stacking slot j.
std::u16string StackingSlotName(int slot);

// The first free stacking slot 0 ... 7: tryReserve(name) reserves the slot
// when nobody holds it yet. -1 when all eight are taken; such a window
// takes the bottom place.
int ReserveStackingSlot(const std::function<bool(const std::u16string&)>& tryReserve);

}  // namespace ruvex
