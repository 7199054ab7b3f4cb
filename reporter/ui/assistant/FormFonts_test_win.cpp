#include "reporter/ui/assistant/FormFonts.h"

#include <gtest/gtest.h>

using namespace ruvex;

// Real fonts: the layout of a form with a wrapping label and a memo.
TEST(FormFontsWin, MeasuresAndWrapsForTheLayout) {
  auto measure = CreateFormTextMeasure();
  ASSERT_NE(measure, nullptr);
  const TTextExtent gg = measure->Extent(u"Gg", TNVFont::dialog);
  EXPECT_GT(gg.width, 0);
  EXPECT_GE(gg.height, 11);
  EXPECT_GT(measure->Extent(u"Gg", TNVFont::header).height, gg.height);
  const std::u16string sentence(u"Please describe what you were doing when the error occurred, step by step.");
  EXPECT_GT(measure->WrappedHeight(sentence, 120), measure->WrappedHeight(sentence, 2000));

  TNVForm form;
  form.Add<TNVLabel>(u"Info").FCaption = sentence + sentence;
  form.Add<TNVEdit>(u"Memo").FLines = 3;
  const TFormLayout layout = LayoutForm(form, *measure);
  EXPECT_EQ(layout.width, 315);
  EXPECT_GT(layout.items[3].height, gg.height);  // wrapped over several lines
  EXPECT_EQ(layout.items[4].height, 3 * gg.height + 2);
}
