#include "reporter/ui/box/BoxLayout.h"

#include <algorithm>

namespace ruvex {

namespace {

constexpr int kIconSize = 32, kRowGap = 4, kCaptionPadding = 39;
constexpr TREButton kLeft[] = {bSendBugReport, bSaveBugReport, bPrintBugReport, bShowBugReport};
constexpr TREButton kRight[] = {bContinueApplication, bRestartApplication, bCloseApplication};

std::array<int, kButtonCount> SlotWidths(const TBoxPlan& plan, const IBoxTextExtents& extents) {
  std::array<int, kButtonCount> widths{};
  for (int b = 0; b < kButtonCount; ++b)
    if (plan.visible[b]) widths[b] = extents.Caption(plan.captions[b]).width + kCaptionPadding;
  if (plan.Small())
    for (TREButton b : {bContinueApplication, bShowBugReport})
      if (plan.visible[b] && widths[b] < kSmallButtonMinimum) widths[b] = kSmallButtonWidth;
  return widths;
}

struct TRightGroup {
  int widest = 0, count = 0, rows = 2;
  bool stacked = false;
};

TRightGroup RightGroup(const TBoxPlan& plan, const std::array<int, kButtonCount>& w) {
  TRightGroup group;
  for (TREButton b : kRight)
    if (plan.visible[b]) {
      group.widest = std::max(group.widest, w[b]);
      ++group.count;
    }
  // One button or none still leaves two rows: the left group sits in row 1.
  group.rows = group.count <= 1 ? 2 : group.count;
  bool anyLeft = std::any_of(std::begin(kLeft), std::end(kLeft), [&](TREButton b) { return plan.visible[b]; });
  group.stacked = group.count > 1 && anyLeft;
  return group;
}

struct TRequired {
  int width = 0, margin = 20;
};

TRequired RequiredWidth(const TBoxPlan& plan, const std::array<int, kButtonCount>& w, const TRightGroup& right) {
  TRequired r;
  if (plan.Small()) {
    r.width = w[bContinueApplication] + 26 + (plan.visible[bShowBugReport] ? w[bShowBugReport] + 2 : 0);
  } else if (right.stacked) {
    r.width = w[bSendBugReport] + w[bSaveBugReport] + w[bPrintBugReport] + w[bShowBugReport] + right.widest + 8;
    r.margin = right.widest + 34;
  } else {
    for (int x : w) r.width += x;
    r.width += 8;
  }
  return r;
}

void PlaceFullButtons(TBoxLayout& l, const TRightGroup& right, int y) {
  auto rowY = [&](int row) { return y + row * (l.buttonHeight + kRowGap); };
  auto place = [&](TREButton b, int x, int row, int slot) { l.buttons[b] = {x, rowY(row), slot - 4, l.buttonHeight}; };
  int x = 6;
  for (TREButton b : kLeft)
    if (l.slotWidths[b] > 0) {
      place(b, x, l.rows - 1, l.slotWidths[b]);
      x += l.slotWidths[b];
    }
  const auto& w = l.slotWidths;
  if (right.stacked) {
    int rx = l.client.width - right.widest - 2;
    if (w[bContinueApplication]) place(bContinueApplication, rx, 0, right.widest);
    if (w[bRestartApplication]) place(bRestartApplication, rx, w[bContinueApplication] ? 1 : 0, right.widest);
    if (w[bCloseApplication]) place(bCloseApplication, rx, l.rows - 1, right.widest);
    return;
  }
  x = l.client.width - w[bContinueApplication] - w[bRestartApplication] - w[bCloseApplication] - 2;
  for (TREButton b : kRight)
    if (w[b] > 0) {
      place(b, x, 1, w[b]);
      x += w[b];
    }
}

void PlaceSmallButtons(TBoxLayout& l, int y) {
  const auto& w = l.slotWidths;
  int rowY = y + l.buttonHeight + kRowGap;
  int ok = w[bContinueApplication], details = w[bShowBugReport];
  int x = details ? (l.client.width + 2 - ok - details) / 2 : (l.client.width + 4 - ok) / 2;
  l.buttons[bContinueApplication] = {x, rowY, ok - 4, l.buttonHeight};
  if (details) l.buttons[bShowBugReport] = {x + ok + 2, rowY, details - 4, l.buttonHeight};
}

}  // namespace

int ButtonHeight(const TBoxPlan& plan) {
  if (plan.Small()) return 23;
  return plan.ownerDrawn ? 22 : 26;
}

TBoxLayout LayOutBox(const TBoxLayoutInput& input, const IBoxTextExtents& extents) {
  const TBoxPlan& plan = *input.plan;
  TBoxLayout l;
  l.buttonHeight = ButtonHeight(plan);
  l.slotWidths = SlotWidths(plan, extents);
  TRightGroup right = RightGroup(plan, l.slotWidths);
  l.stacked = right.stacked;
  l.rows = right.rows;
  TRequired required = RequiredWidth(plan, l.slotWidths, right);
  int margin = required.margin + (input.hasIcon ? 40 : 0);
  if (input.hasIcon) l.icon = {9, 10, kIconSize, kIconSize};

  int baseWidth = std::max({required.width, kBoxMinWidth, input.boxMinWidth});
  // Wrapping in the capped width keeps the measured height true to the shown text.
  int wrapWidth = std::min(baseWidth - margin, input.screen.width * 2 / 3);
  TBoxSize text = extents.Wrapped(plan.text, std::max(wrapWidth, 1));
  text.width = std::min(text.width, input.screen.width * 2 / 3);
  l.client.width = std::max(text.width + margin, required.width);
  if (plan.autoShowBugReport) {
    l.client.width = std::max({l.client.width, kBoxMinWidth, input.boxMinWidth});
    l.client.width = std::min(l.client.width, input.screen.width - 5 * input.screen.captionHeight);
  }

  bool shortBesideIcon = input.hasIcon && text.height < 26;
  int y = shortBesideIcon ? 31 : text.height + 5;
  if (!plan.Small() && l.rows == 3) {
    if (right.stacked)
      y = std::max(7, y - l.buttonHeight - kRowGap);
    else
      l.rows = 2;
  }
  l.text = {input.hasIcon ? 51 : 11, shortBesideIcon ? 10 + (kIconSize - text.height) / 2 : 12, text.width,
            text.height};

  if (plan.Small()) {
    PlaceSmallButtons(l, y);
    l.client.height = y + 2 * l.buttonHeight + 15;
  } else {
    PlaceFullButtons(l, right, y);
    l.client.height = y + l.rows * (l.buttonHeight + kRowGap) + 2;
  }
  if (plan.autoShowBugReport) {
    int extra = input.boxDetailsHeight >= 665 ? input.boxDetailsHeight * 100 / 135 : kDetailsHeight;
    l.tabs = {5, l.client.height, l.client.width - 9, extra - 5};
    l.client.height += extra;
  }
  int maxHeight = input.screen.height - 5 * input.screen.captionHeight;
  if (l.client.height > maxHeight) {
    if (!l.tabs.Empty()) l.tabs.height = std::max(0, l.tabs.height - (l.client.height - maxHeight));
    l.client.height = maxHeight;
  }
  return l;
}

}  // namespace ruvex
