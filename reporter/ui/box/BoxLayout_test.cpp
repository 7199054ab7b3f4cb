#include "reporter/ui/box/BoxLayout.h"

#include <gtest/gtest.h>

using namespace ruvex;

namespace {

// 6 pixels a character ("&" takes none), 13 a line; wrapping fills lines.
class TFixedExtents : public IBoxTextExtents {
 public:
  TBoxSize Caption(std::u16string_view caption) const override {
    int chars = 0;
    for (char16_t c : caption) chars += c != u'&';
    return {chars * 6, 13};
  }
  TBoxSize Wrapped(std::u16string_view text, int width) const override {
    int perLine = std::max(1, width / 6);
    int chars = static_cast<int>(text.size());
    int lines = std::max(1, (chars + perLine - 1) / perLine);
    return {std::min(chars, perLine) * 6, lines * 13};
  }
};

TBoxPlan Plan(TBoxKind kind, std::array<bool, 7> visible) {
  TBoxPlan plan;
  plan.kind = kind;
  plan.visible = visible;
  plan.captions = {u"send bug report", u"save bug report", u"print bug report", u"show bug report",
                   u"continue application", u"restart application", u"close application"};
  if (kind != TBoxKind::full) plan.captions[bContinueApplication] = u"&OK", plan.captions[bShowBugReport] = u"&Details";
  plan.ownerDrawn = kind == TBoxKind::full;
  plan.text = u"An error occurred in the application.";
  return plan;
}

TBoxLayout Lay(const TBoxPlan& plan, int boxMinWidth = 0, TBoxScreen screen = {}) {
  TBoxLayoutInput input;
  input.plan = &plan;
  input.boxMinWidth = boxMinWidth;
  input.screen = screen;
  return LayOutBox(input, TFixedExtents());
}

}  // namespace

TEST(BoxLayout, DefaultButtonsStackInThreeRows) {
  auto l = Lay(Plan(TBoxKind::full, {1, 0, 0, 1, 1, 1, 1}));
  EXPECT_TRUE(l.stacked);
  EXPECT_EQ(l.rows, 3);
  // send 129 + show 129 + widest (continue) 159 + 8
  EXPECT_EQ(l.client, (TBoxSize{425, 7 + 3 * 26 + 2}));
  EXPECT_EQ(l.buttons[bContinueApplication], (TBoxRect{264, 7, 155, 22}));
  EXPECT_EQ(l.buttons[bRestartApplication], (TBoxRect{264, 33, 155, 22}));
  EXPECT_EQ(l.buttons[bCloseApplication], (TBoxRect{264, 59, 155, 22}));
  EXPECT_EQ(l.buttons[bSendBugReport], (TBoxRect{6, 59, 125, 22})) << "left group in the last row";
  EXPECT_EQ(l.buttons[bShowBugReport], (TBoxRect{135, 59, 125, 22}));
  EXPECT_TRUE(l.buttons[bSaveBugReport].Empty());
  EXPECT_EQ(l.text, (TBoxRect{11, 12, 222, 13}));
}

TEST(BoxLayout, RightGroupOfOneOrNoneKeepsTwoRows) {
  auto one = Lay(Plan(TBoxKind::full, {1, 0, 0, 1, 0, 0, 1}));
  EXPECT_FALSE(one.stacked);
  EXPECT_EQ(one.rows, 2);
  EXPECT_EQ(one.buttons[bCloseApplication], (TBoxRect{one.client.width - 141 - 2, 44, 137, 22}));
  EXPECT_EQ(one.buttons[bSendBugReport].y, 44) << "row 1 at text height + 5 + one row";

  auto none = Lay(Plan(TBoxKind::full, {1, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(none.rows, 2);
  EXPECT_EQ(none.buttons[bSendBugReport].y, 44) << "never row -1";
  EXPECT_EQ(none.client.height, 18 + 2 * 26 + 2);

  auto rightOnly = Lay(Plan(TBoxKind::full, {0, 0, 0, 0, 1, 1, 1}));
  EXPECT_FALSE(rightOnly.stacked) << "nothing on the left: side by side";
  EXPECT_EQ(rightOnly.rows, 2);
  EXPECT_EQ(rightOnly.buttons[bCloseApplication].x + rightOnly.buttons[bCloseApplication].width,
            rightOnly.client.width - 6);
}

TEST(BoxLayout, SmallBoxOkIsAtLeast79) {
  auto simple = Lay(Plan(TBoxKind::simple, {0, 0, 0, 0, 1, 0, 0}));
  EXPECT_EQ(simple.slotWidths[bContinueApplication], 79) << "\"&OK\" measures 12 + 39";
  EXPECT_EQ(simple.buttonHeight, 23);
  EXPECT_EQ(simple.buttons[bContinueApplication], (TBoxRect{(simple.client.width + 4 - 79) / 2, 18 + 23 + 4, 75, 23}));
  EXPECT_EQ(simple.client.height, 18 + 2 * 23 + 15);

  auto detail = Lay(Plan(TBoxKind::detail, {0, 0, 0, 1, 1, 0, 0}));
  EXPECT_EQ(detail.slotWidths[bShowBugReport], 81) << "\"&Details\": 42 + 39";
  const auto& ok = detail.buttons[bContinueApplication];
  EXPECT_EQ(ok.x, (detail.client.width + 2 - 79 - 81) / 2);
  EXPECT_EQ(detail.buttons[bShowBugReport].x, ok.x + 79 + 2);
}

TEST(BoxLayout, WidthLimits) {
  auto plan = Plan(TBoxKind::full, {1, 0, 0, 0, 1, 1, 1});
  plan.autoShowBugReport = true;
  auto details = Lay(plan, 800);
  EXPECT_EQ(details.client.width, 800);
  EXPECT_EQ(details.tabs, (TBoxRect{5, details.client.height - 491, 791, 486}));

  auto longText = Plan(TBoxKind::full, {0, 0, 0, 0, 1, 0, 0});
  longText.text = std::u16string(2000, u'x');
  auto capped = Lay(longText, 2000, {900, 2000, 18});
  EXPECT_EQ(capped.text.width, 600) << "two thirds of the screen";
  EXPECT_EQ(capped.client.width, 620);
  EXPECT_EQ(capped.text.height, (2000 + 99) / 100 * 13) << "wrapped in the width it is shown in";

  auto tall = Lay(longText, 0, {1024, 300, 20});
  EXPECT_EQ(tall.client.height, 300 - 5 * 20);
}

TEST(BoxLayout, IconMovesTheText) {
  auto plan = Plan(TBoxKind::full, {1, 0, 0, 1, 1, 1, 1});
  TBoxLayoutInput input;
  input.plan = &plan;
  input.hasIcon = true;
  auto l = LayOutBox(input, TFixedExtents());
  EXPECT_EQ(l.icon, (TBoxRect{9, 10, 32, 32}));
  EXPECT_EQ(l.text, (TBoxRect{51, 10 + (32 - 13) / 2, 222, 13}));
  EXPECT_EQ(l.buttons[bContinueApplication].y, 7) << "31 less one row, not above 7";
}
