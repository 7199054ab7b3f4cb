#include "reporter/ui/box/BoxPlan.h"

#include <gtest/gtest.h>

#include "reporter/ui/box/BoxTestException.h"

using namespace ruvex;

TEST(BoxSentences, BreaksOnlyInsideTheMessage) {
  struct TCase {
    std::u16string_view message, shown;
  } cases[] = {
      {u"Short. Text. Here.", u"Short. Text. Here."},  // under 20 characters before any break
      {u"The file could not be opened. The disk is full. Try again.",
       u"The file could not be opened.\r\nThe disk is full.\r\nTry again."},
      {u"Ab. The file could not be opened. The end is near. X.",
       u"Ab. The file could not be opened.\r\nThe end is near. X."},
  };
  for (const auto& c : cases) EXPECT_EQ(BreakSentences(c.message), c.shown) << std::string(c.message.begin(), c.message.end());
}

TEST(BoxPlan, ButtonsByKind) {
  TBoxTestException t;
  auto full = PlanBox(*t, TBoxKind::full, {});
  EXPECT_EQ(full.visible, (std::array<bool, 7>{true, false, false, true, true, true, true}));
  EXPECT_EQ(full.focused, bSendBugReport);
  EXPECT_EQ(full.title, u"Kelvane.exe") << "TitleBar is %appname%";
  EXPECT_NE(full.text.find(u"An error occurred"), std::u16string::npos);

  auto detail = PlanBox(*t, TBoxKind::detail, {});
  EXPECT_EQ(detail.visible, (std::array<bool, 7>{false, false, false, true, true, false, false}));
  EXPECT_EQ(detail.captions[bContinueApplication], u"&OK");
  EXPECT_EQ(detail.captions[bShowBugReport], u"&Details");
  EXPECT_EQ(detail.focused, bContinueApplication);
  EXPECT_EQ(detail.title, u"Kelvane") << "the module's name";
  EXPECT_EQ(detail.text, BreakSentences(t->GetExceptMessage()));

  auto simple = PlanBox(*t, TBoxKind::simple, {});
  EXPECT_EQ(simple.visible, (std::array<bool, 7>{false, false, false, false, true, false, false}));
  EXPECT_FALSE(simple.ownerDrawn);
}

TEST(BoxPlan, TextsExpandThePreparedMessage) {
  TBoxTestException t;
  t->SetPropStr("ExceptMsg", u"%exceptClass%: %exceptMsg%");
  auto plan = PlanBox(*t, TBoxKind::full, {});
  EXPECT_EQ(plan.text, u"EAccessViolation: Access violation at address 0040A1B2 in module 'Kelvane.exe'.\r\n"
                       u"Read of address 00000000.");
  TBoxOptions options;
  options.noSentenceBreakClass = u"EAccessViolation";
  EXPECT_EQ(PlanBox(*t, TBoxKind::full, options).text.find(u"\r\n"), std::u16string::npos);

  TExceptionData frozen = TBoxTestException::Sample();
  frozen.type = etFrozen;
  TBoxTestException f(frozen);
  EXPECT_EQ(PlanBox(*f, TBoxKind::simple, {}).text, u"The application seems to be frozen.");
}

TEST(BoxPlan, AutoShowHidesShowAndFocusNeedsAVisibleButton) {
  TBoxTestException t;
  t->SetAutoShowBugReport(true);
  t->SetFocusedButton(bShowBugReport);
  auto plan = PlanBox(*t, TBoxKind::full, {});
  EXPECT_FALSE(plan.Visible(bShowBugReport));
  EXPECT_FALSE(plan.focused.has_value());
}

TEST(BoxPlan, AutomaticButtonTakesTheFocus) {
  TBoxTestException t;
  t->SetAutoClose(1);
  auto plan = PlanBox(*t, TBoxKind::full, {});
  EXPECT_EQ(plan.automatic, bCloseApplication);
  EXPECT_EQ(plan.focused, bCloseApplication);
  t->SetCloseBtnVisible(false);
  t->SetAutoClose(0);
  t->SetAutoContinue(true);
  t->SetCanContinue(false);
  EXPECT_FALSE(PlanBox(*t, TBoxKind::full, {}).automatic.has_value()) << "cannot continue";
}

TEST(BoxPlan, CommandsFollowTheContinueRule) {
  struct TCase {
    const char* what;
    std::array<bool, 7> visible;
    bool canContinue;
    std::optional<TREButton> focused;
    TBoxCommand closeRequest;
  } cases[] = {
      {"default", {1, 0, 0, 1, 1, 1, 1}, true, bSendBugReport, TBoxCommand::continueApp},
      {"cannot continue", {1, 0, 0, 1, 1, 1, 1}, false, bSendBugReport, TBoxCommand::closeApp},
      {"focused continue, cannot", {1, 0, 0, 1, 1, 1, 1}, false, bContinueApplication, TBoxCommand::closeApp},
      {"focused restart", {1, 0, 0, 1, 1, 1, 1}, true, bRestartApplication, TBoxCommand::restartApp},
      {"restart only", {1, 0, 0, 1, 0, 1, 0}, true, std::nullopt, TBoxCommand::restartApp},
      {"no way out, can continue", {1, 0, 0, 1, 0, 0, 0}, true, std::nullopt, TBoxCommand::continueApp},
      {"no way out, cannot", {1, 0, 0, 1, 0, 0, 0}, false, std::nullopt, TBoxCommand::closeApp},
  };
  for (const auto& c : cases) {
    TBoxPlan plan;
    plan.visible = c.visible;
    plan.canContinue = c.canContinue;
    plan.focused = c.focused;
    EXPECT_EQ(CommandOfCloseRequest(plan), c.closeRequest) << c.what;
  }
  TBoxPlan plan;
  plan.visible = {1, 1, 1, 1, 1, 1, 1};
  plan.canContinue = false;
  EXPECT_EQ(CommandOfButton(plan, bContinueApplication), TBoxCommand::closeApp);
  EXPECT_EQ(CommandOfButton(plan, bShowBugReport), TBoxCommand::details);
  plan.visible[bPrintBugReport] = false;
  EXPECT_EQ(CommandOfButton(plan, bPrintBugReport), TBoxCommand::none) << "a hidden button does nothing";
}

TEST(BoxPlan, CannotContinueDisablesContinueWhenAnotherWayExists) {
  TBoxTestException t;
  t->SetCanContinue(false);
  EXPECT_TRUE(PlanBox(*t, TBoxKind::full, {}).continueDisabled);
  EXPECT_EQ(GlyphResourceName(bContinueApplication, true), u"reicantContinue");
  t->SetRestartBtnVisible(false);
  t->SetCloseBtnVisible(false);
  EXPECT_FALSE(PlanBox(*t, TBoxKind::full, {}).continueDisabled);
}
