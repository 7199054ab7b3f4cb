#include "reporter/ui/assistant/NVForm.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace ruvex;

namespace {

struct TRecorded {
  TNVAction action;
  std::u16string item;
};

std::shared_ptr<std::vector<TRecorded>> Record(TNVForm& form) {
  auto log = std::make_shared<std::vector<TRecorded>>();
  form.FOnAction = [log](TNVAction a, TNVForm&, TNVItem* item, IREException*) {
    log->push_back({a, item ? item->FName : u""});
  };
  return log;
}

TEST(NVForm, BuiltInButtonsComeFirst) {
  TNVForm form;
  ASSERT_EQ(form.ItemCount(), 3);
  EXPECT_EQ(form.ContinueButton().FCaption, u"Next >");
  EXPECT_EQ(form.SkipButton().FCaption, u"Skip");
  EXPECT_EQ(form.CancelButton().FCaption, u"Cancel");
  EXPECT_EQ(form.ItemByName(u"cancelbtn"), &form.CancelButton());
}

TEST(NVForm, NextNeedsEveryRequiredEditFilledAndValid) {
  TNVForm form;
  TNVEdit& required = form.Add<TNVEdit>(u"Required");
  TNVEdit& optional = form.Add<TNVEdit>(u"Optional");
  optional.FOptional = true;
  optional.FNValid = true;  // optional wins over validity
  form.Add<TNVCheckBox>(u"Box");
  EXPECT_FALSE(form.NextAllowed());
  EXPECT_EQ(form.PressButton(kContinueButtonIndex), nvmInvalid);
  required.FText = u"x";
  form.ItemEvent(&required);
  EXPECT_TRUE(form.ContinueButton().FEnabled);
  required.FNValid = true;
  form.ItemEvent(&required);
  EXPECT_FALSE(form.ContinueButton().FEnabled);
}

TEST(NVForm, FocusStartsAtActiveControlOrFirstContentAndRings) {
  TNVForm form;
  form.Add<TNVLabel>(u"Caption");
  TNVEdit& first = form.Add<TNVEdit>(u"First");
  TNVCheckBox& box = form.Add<TNVCheckBox>(u"Box");
  form.Add<TNVImage>(u"Plain");  // not clickable: no focus
  EXPECT_EQ(form.FirstFocus(), &first);
  form.FActiveControl = u"box";
  EXPECT_EQ(form.FirstFocus(), &box);
  form.FActiveControl = u"Missing";
  EXPECT_EQ(form.FirstFocus(), &first);

  EXPECT_EQ(form.NextFocus(&box), &form.ContinueButton());
  EXPECT_EQ(form.NextFocus(&form.ContinueButton(), true), &box);
  EXPECT_EQ(form.NextFocus(&form.CancelButton()), &first);
  form.SkipButton().FInvisible = true;
  EXPECT_EQ(form.NextFocus(&form.ContinueButton()), &form.CancelButton());
  box.FForceDisabled = true;
  EXPECT_EQ(form.NextFocus(&first), &form.ContinueButton());
}

TEST(NVForm, ButtonsEscapeAndCloseEndTheFormThroughTheHandler) {
  struct TCase {
    int button;  // -1 Escape, -2 system close
    bool cancelEnabled;
    TNVModalResult result;
  } cases[] = {
      {kContinueButtonIndex, true, nvmOk}, {kSkipButtonIndex, true, nvmSkip}, {kCancelButtonIndex, true, nvmCancel},
      {-1, true, nvmCancel},               {-1, false, nvmInvalid},           {-2, false, nvmCancel},
      {kCancelButtonIndex, false, nvmInvalid},
  };
  for (const auto& c : cases) {
    TNVForm form;
    auto log = Record(form);
    form.CancelButton().FEnabled = c.cancelEnabled;
    const TNVModalResult result = c.button == -1   ? form.Escape()
                                  : c.button == -2 ? form.SystemClose()
                                                   : form.PressButton(c.button);
    EXPECT_EQ(result, c.result) << c.button;
    const bool closed = c.result != nvmInvalid;
    EXPECT_EQ(log->size(), closed ? 1u : 0u) << c.button;
    if (closed) {
      EXPECT_EQ(form.FModalResult, c.result);
      EXPECT_EQ(log->front().action, nvaFormClose);
    }
  }
}

TEST(NVForm, ItemEventsToggleCheckBoxesAndShowMaySkip) {
  TNVForm form;
  auto log = Record(form);
  TNVCheckBox& box = form.Add<TNVCheckBox>(u"Box");
  form.ItemEvent(&box);
  form.ItemEvent(nullptr);  // the timer
  EXPECT_TRUE(box.FChecked);
  ASSERT_EQ(log->size(), 2u);
  EXPECT_EQ((*log)[0].item, u"Box");
  EXPECT_EQ((*log)[1].item, u"");
  EXPECT_TRUE(form.BeginShow());
  form.FOnAction = [](TNVAction a, TNVForm& f, TNVItem*, IREException*) {
    if (a == nvaFormShow) f.FSkip = true;
  };
  EXPECT_FALSE(form.BeginShow());
  EXPECT_EQ(form.FModalResult, nvmSkip);
}

}  // namespace
