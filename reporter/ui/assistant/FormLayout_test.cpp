#include "reporter/ui/assistant/FormLayout.h"

#include <gtest/gtest.h>

using namespace ruvex;

namespace {

// Every character 6 pixels wide and 13 high (the header font 8 by 18);
// text wraps at the width in whole characters.
class TCellMeasure final : public ITextMeasure {
 public:
  TTextExtent Extent(std::u16string_view text, TNVFont font) const override {
    const int cell = font == TNVFont::header ? 8 : 6;
    return {int(text.size()) * cell, font == TNVFont::header ? 18 : 13};
  }
  int WrappedHeight(std::u16string_view text, int width) const override {
    const int perLine = std::max(1, width / 6);
    const int lines = std::max<int>(1, (int(text.size()) + perLine - 1) / perLine);
    return lines * 13;
  }
};

const TCellMeasure kMeasure;

TNVLabel& Label(TNVForm& form, std::u16string caption) {
  auto& label = form.Add<TNVLabel>(u"Label");
  label.FCaption = std::move(caption);
  return label;
}

TEST(FormLayout, GapsFollowTheOrderOfTheRules) {
  TNVForm form;
  Label(form, u"Name:");
  form.Add<TNVEdit>(u"NameEdit");
  Label(form, u"E-mail?");
  form.Add<TNVEdit>(u"EmailEdit");
  form.Add<TNVCheckBox>(u"One");
  form.Add<TNVCheckBox>(u"Two");
  Label(form, u"plain text");
  form.Add<TNVEdit>(u"A");
  form.Add<TNVEdit>(u"B").FSpacing = 30;
  form.Add<TNVButton>(u"Extra");
  form.Add<TNVButton>(u"More").FSpacing = 5;  // the last item keeps its own spacing
  const TFormLayout layout = LayoutForm(form, kMeasure);
  EXPECT_EQ(layout.gaps, (std::vector<int>{4, 8, 4, 12, 8, 12, 12, 6, 30, 4, 5}));
}

TEST(FormLayout, HeadLabelMustFitOneLine) {
  TNVForm form;
  TNVLabel& named = form.Add<TNVLabel>(u"Question?");  // the name stands in for an empty caption
  TNVLabel& longOne = Label(form, std::u16string(60, u'x') + u":");
  TNVLabel& plain = Label(form, u"Done.");
  EXPECT_TRUE(IsHeadLabel(named, 269, kMeasure));
  EXPECT_FALSE(IsHeadLabel(longOne, 269, kMeasure));
  EXPECT_TRUE(IsHeadLabel(longOne, 400, kMeasure));
  EXPECT_FALSE(IsHeadLabel(plain, 400, kMeasure));
  EXPECT_FALSE(IsHeadLabel(form.ContinueButton(), 400, kMeasure));
}

TEST(FormLayout, WidthIsTheLargestOfItsMeasures) {
  struct TCase {
    int minWidth;
    std::u16string message;
    int steps;
    int width;
  } cases[] = {
      {0, u"", 1, 315},
      {500, u"", 1, 500},
      {0, std::u16string(40, u'm'), 3, 40 * 8 + 3 * 19 + 36},
  };
  for (const auto& c : cases) {
    TNVForm form;
    form.FMinWidth = c.minWidth;
    form.FMessage = c.message;
    form.FSteps = c.steps;
    EXPECT_EQ(LayoutForm(form, kMeasure).width, c.width) << c.minWidth;
  }
  TNVForm wideButtons;
  wideButtons.ContinueButton().FCaption = std::u16string(30, u'n');  // 180 + 16 wide
  EXPECT_EQ(LayoutForm(wideButtons, kMeasure).width, 196 + 75 + 75 + 32);
}

TEST(FormLayout, ItemsAndButtonsArePlaced) {
  TNVForm form;
  Label(form, u"Describe it:");
  form.Add<TNVEdit>(u"Memo").FLines = 4;
  TNVImage& image = form.Add<TNVImage>(u"Shot");
  image.FRect.width = 120;
  image.FRect.height = 90;
  const TFormLayout layout = LayoutForm(form, kMeasure);
  ASSERT_EQ(layout.width, 315);
  EXPECT_EQ(layout.items[3], (TNVRect{21, 40, 269, 13}));
  EXPECT_EQ(layout.items[4], (TNVRect{21, 57, 269, 4 * 13 + 2}));
  EXPECT_EQ(layout.items[5], (TNVRect{21, 57 + 54 + 12, 120, 90}));
  const int finalY = 123 + 90;
  EXPECT_EQ(layout.height, 23 + finalY + 33);
  const int buttonTop = layout.height - 8 - 23;
  EXPECT_EQ(layout.items[kContinueButtonIndex], (TNVRect{8, buttonTop, 75, 23}));
  EXPECT_EQ(layout.items[kSkipButtonIndex], (TNVRect{91, buttonTop, 75, 23}));
  EXPECT_EQ(layout.items[kCancelButtonIndex], (TNVRect{315 - 8 - 75, buttonTop, 75, 23}));
  EXPECT_EQ(layout.panel, (TNVRect{8, 25, 315 - 9 - 8, buttonTop - 10 - 25}));
}

TEST(FormLayout, SystemButtonsWithoutSkipSitRight) {
  TNVForm form;
  form.ContinueButton().FNoOwnerDraw = true;
  form.CancelButton().FNoOwnerDraw = true;
  form.SkipButton().FInvisible = true;
  const TFormLayout layout = LayoutForm(form, kMeasure);
  EXPECT_EQ(layout.items[kCancelButtonIndex].left, 315 - 8 - 75);
  EXPECT_EQ(layout.items[kContinueButtonIndex].left, 315 - 8 - 75 - 8 - 75);
  EXPECT_EQ(layout.items[kSkipButtonIndex], TNVRect{});
  EXPECT_EQ(layout.height, 23 + 40 + 33);  // no content: buttons only
}

}  // namespace
