#include "reporter/ui/box/BoxPlan.h"

#include "common/text/FileNames.h"

namespace ruvex {

namespace {

constexpr std::u16string_view kSentenceEnd = u". ";

// The raw setting expanded with the exception's class and prepared message.
std::u16string ExpandedText(IREException& exception, const char* name, const std::u16string& message) {
  auto* self = dynamic_cast<TIRESettings*>(&exception);
  auto raw = self ? self->LookupProp(name) : std::nullopt;
  if (!raw) return exception.GetPropStr(name);
  TPlaceholderValues values;
  values.exceptClass = exception.GetExceptClass();
  values.exceptMsg = message;
  return ExpandPlaceholders(self->Environment().Host(), exception.Module(), raw->Str(), values);
}

std::u16string WithoutExtension(std::u16string name) {
  auto dot = name.rfind(u'.');
  return dot == std::u16string::npos ? name : name.substr(0, dot);
}

bool AutoRuleHolds(IREException& exception, std::int32_t rule) {
  auto* self = dynamic_cast<TIREException*>(&exception);
  if (!self) return rule == 1;
  return AutoRuleApplies(rule, self->Services().history, self->Services().now());
}

void ChooseVisibleButtons(IREException& e, TBoxPlan& plan) {
  bool full = plan.kind == TBoxKind::full;
  plan.visible[bSendBugReport] = full && e.GetSendBtnVisible();
  plan.visible[bSaveBugReport] = full && e.GetSaveBtnVisible();
  plan.visible[bPrintBugReport] = full && e.GetPrintBtnVisible();
  plan.visible[bShowBugReport] =
      (full && e.GetShowBtnVisible() && !plan.autoShowBugReport) || plan.kind == TBoxKind::detail;
  plan.visible[bContinueApplication] = !full || e.GetContinueBtnVisible();
  plan.visible[bRestartApplication] = full && e.GetRestartBtnVisible();
  plan.visible[bCloseApplication] = full && e.GetCloseBtnVisible();
}

void ChooseCaptions(IREException& e, TBoxPlan& plan) {
  plan.captions = {e.GetSendBtnCaption(),     e.GetSaveBtnCaption(),    e.GetPrintBtnCaption(),
                   e.GetShowBtnCaption(),     e.GetContinueBtnCaption(), e.GetRestartBtnCaption(),
                   e.GetCloseBtnCaption()};
  if (plan.Small()) {
    plan.captions[bContinueApplication] = e.GetOkBtnCaption();
    plan.captions[bShowBugReport] = e.GetDetailsBtnCaption();
  }
}

void ChooseTexts(IREException& e, const TBoxOptions& options, TBoxPlan& plan) {
  std::u16string message = e.GetExceptMessage();
  if (options.noSentenceBreakClass.empty() || e.GetExceptClass() != options.noSentenceBreakClass)
    message = BreakSentences(message);
  bool frozen = e.GetExceptType() == etFrozen;
  if (!plan.Small()) {
    plan.text = ExpandedText(e, frozen ? "FrozenMsg" : "ExceptMsg", message);
    plan.title = e.GetTitleBar();
    return;
  }
  if (frozen)
    plan.text = ExpandedText(e, "FrozenMsg", message);
  else
    plan.text = options.smallBoxUsesSettings ? ExpandedText(e, "ExceptMsg", message) : message;
  std::u16string moduleName;
  if (auto* self = dynamic_cast<TIRESettings*>(&e)) {
    const ISettingsHost& host = self->Environment().Host();
    ModuleHandle module = e.Module() ? e.Module() : host.ExecutableModule();
    moduleName = WithoutExtension(kelvane::FileNameOf(host.ModuleFileName(module)));
  }
  plan.title = options.smallBoxUsesSettings ? e.GetTitleBar() : moduleName;
}

void ChooseAutomaticButton(IREException& e, TBoxPlan& plan) {
  if (AutoRuleHolds(e, e.GetAutoClose()) && plan.Visible(bCloseApplication))
    plan.automatic = bCloseApplication;
  else if (AutoRuleHolds(e, e.GetAutoRestart()) && plan.Visible(bRestartApplication))
    plan.automatic = bRestartApplication;
  else if (e.GetAutoContinue() && plan.Visible(bContinueApplication) && plan.canContinue)
    plan.automatic = bContinueApplication;
}

void ChooseFocus(IREException& e, TBoxPlan& plan) {
  if (plan.Small()) {
    plan.focused = bContinueApplication;
    return;
  }
  auto wanted = plan.automatic ? *plan.automatic : e.GetFocusedButton();
  if (wanted < kButtonCount && plan.Visible(wanted)) plan.focused = wanted;
}

}  // namespace

std::u16string BreakSentences(std::u16string_view message) {
  std::u16string out(message);
  if (out.size() < 30) return out;
  // Backwards, so that inserting the line feed leaves earlier positions alone.
  for (std::size_t i = out.size() - 10; i >= 20; --i) {
    if (out.compare(i, kSentenceEnd.size(), kSentenceEnd) == 0) out.replace(i, 2, u".\r\n");
  }
  return out;
}

TBoxPlan PlanBox(IREException& e, TBoxKind kind, const TBoxOptions& options) {
  TBoxPlan plan;
  plan.kind = kind;
  plan.autoShowBugReport = kind == TBoxKind::full && e.GetAutoShowBugReport();
  plan.ownerDrawn = kind == TBoxKind::full && !e.GetNoOwnerDrawButtons();
  plan.canContinue = e.GetCanContinue();
  plan.autoDelaySeconds = e.GetAutoDelay();
  ChooseVisibleButtons(e, plan);
  ChooseCaptions(e, plan);
  ChooseTexts(e, options, plan);
  ChooseAutomaticButton(e, plan);
  ChooseFocus(e, plan);
  plan.continueDisabled = plan.Visible(bContinueApplication) && !plan.canContinue &&
                          (plan.Visible(bRestartApplication) || plan.Visible(bCloseApplication));
  return plan;
}

TBoxCommand CommandOfButton(const TBoxPlan& plan, TREButton button) {
  if (button >= kButtonCount || !plan.Visible(button)) return TBoxCommand::none;
  switch (button) {
    case bSendBugReport: return TBoxCommand::send;
    case bSaveBugReport: return TBoxCommand::save;
    case bPrintBugReport: return TBoxCommand::print;
    case bShowBugReport: return TBoxCommand::details;
    case bContinueApplication: return plan.canContinue ? TBoxCommand::continueApp : TBoxCommand::closeApp;
    case bRestartApplication: return TBoxCommand::restartApp;
    case bCloseApplication: return TBoxCommand::closeApp;
  }
  return TBoxCommand::none;
}

TBoxCommand CommandOfCloseRequest(const TBoxPlan& plan) {
  if (plan.focused && *plan.focused >= bContinueApplication) return CommandOfButton(plan, *plan.focused);
  if (plan.Visible(bContinueApplication) && plan.canContinue) return TBoxCommand::continueApp;
  if (plan.Visible(bCloseApplication)) return TBoxCommand::closeApp;
  if (plan.Visible(bRestartApplication)) return TBoxCommand::restartApp;
  // Neither button offers a way out: the box still goes, as gently as the
  // exception allows.
  return plan.canContinue ? TBoxCommand::continueApp : TBoxCommand::closeApp;
}

std::u16string GlyphResourceName(TREButton button, bool cannotContinue) {
  static constexpr std::u16string_view kNames[kButtonCount] = {u"send",     u"save",    u"print", u"show",
                                                                u"continue", u"restart", u"close"};
  if (button == bContinueApplication && cannotContinue) return u"reicantContinue";
  return u"rei" + std::u16string(kNames[button]);
}

}  // namespace ruvex
