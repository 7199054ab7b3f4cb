#include "reporter/ui/ProgressLayout.h"

#include <algorithm>

namespace ruvex {

TProgressLayout LayOutProgress(int maxCaptionWidth, int maxCaptionHeight, bool hasIcon, const TProgressMetrics& m) {
  TProgressLayout l;
  l.label = {11, 12, std::max(maxCaptionWidth, kMinLabelWidth), std::max(maxCaptionHeight, 0)};
  if (hasIcon) {
    l.icon = {9, 9, 32, 32};
    l.label.left = 51;
    if (l.label.height < 26) {  // a single line sits in the middle of the icon
      l.label.top = 9 + (32 - 26) / 2;
      l.label.height = 26;
    }
  }
  const int clientWidth = l.label.width + 22;
  l.bar = {11, l.label.height + 24, clientWidth - 22, m.scrollBarWidth};
  l.windowWidth = clientWidth + 2 * m.dialogFrameWidth;
  l.windowHeight = l.label.height + m.smallCaptionHeight + m.scrollBarWidth + 2 * m.dialogFrameHeight + 36;
  return l;
}

TRect StackedPosition(const TRect& workArea, int windowWidth, int windowHeight, int slot) {
  const int raise = std::max(slot, 0) * windowHeight;
  return {workArea.left + workArea.width - windowWidth - 2, workArea.top + workArea.height - windowHeight - 2 - raise,
          windowWidth, windowHeight};
}

TRect CentredPosition(int screenWidth, int screenHeight, int windowWidth, int windowHeight) {
  return {(screenWidth - windowWidth) / 2, (screenHeight - windowHeight) / 2, windowWidth, windowHeight};
}

std::u16string StackingSlotName(int slot) { return u"RuvexProgressAlertPos" + std::u16string(1, char16_t(u'0' + slot)); }

int ReserveStackingSlot(const std::function<bool(const std::u16string&)>& tryReserve) {
  for (int slot = 0; slot < kStackingSlots; ++slot)
    if (tryReserve(StackingSlotName(slot))) return slot;
  return -1;
}

}  // namespace ruvex
