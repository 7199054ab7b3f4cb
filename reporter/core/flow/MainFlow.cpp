#include "reporter/core/flow/MainFlow.h"

#include "reporter/core/flow/ApplicationEnd.h"
#include "reporter/core/flow/AutoActions.h"
#include "reporter/core/flow/ExceptFilter.h"

namespace ruvex {
namespace {

TFilterChoice ApplyFilterChoice(TIREException& exception) {
  const IREModuleSettings& moduleSettings = exception;
  const TFilterChoice choice = ApplyFilter(exception.Settings(), ChooseFilter(moduleSettings, exception.ClassChain()));
  exception.SetCreateBugReport(choice.createBugReport);
  exception.SetCreateScreenShot(choice.createScreenShot);
  exception.SetAppendScreenShot(choice.createScreenShot);
  exception.SetCallHandlers(choice.callHandlers);
  exception.SetShowSetting(choice.showSetting);
  exception.SetShowAssistant(choice.assistant);
  return choice;
}

bool PauseWanted(TIREException& exception, const TFilterChoice& choice) {
  return choice.pauseThreads && exception.GetExceptType() != etFrozen &&
         exception.Services().switches.libraryIsExecutable;
}

// Screen shot and report build start here; a report nobody builds counts
// as complete as it is, so that nothing waits for it in vain.
void PrepareReport(TIREException& exception) {
  IReportActions& actions = exception.Services().actions;
  if (exception.GetCreateScreenShot()) actions.TakeScreenShot(exception);
  if (!exception.GetCreateBugReport() || actions.StartBugReport(exception) != TActionResult::done)
    exception.MarkComplete();
}

bool TextModeProgram(const TFlowSwitches& switches) {
  return switches.webServiceMode || (switches.isConsoleProgram && switches.handleConsolePrograms);
}

// Step "show": true when a box was shown and the user's choice decides.
bool ShowTheException(TIREException& exception) {
  TFlowServices& services = exception.Services();
  if (exception.GetShowSetting() == ssNothing) return false;
  if (!TextModeProgram(services.switches))
    return services.actions.ShowException(exception) == TActionResult::done;
  if (!services.switches.webServiceMode)
    services.actions.ShowExceptionAsText(exception);
  else if (exception.ResultText())
    *exception.ResultText() = exception.GetBugReport(true, kCompleteReportWaitMs);
  return false;
}

TFlowOutcome DecideAutomatically(TIREException& exception) {
  TFlowServices& services = exception.Services();
  const IREException& settings = exception.Settings();
  const TAutoDecision decision = DecideAutomaticAction(settings.GetAutoClose(), settings.GetAutoRestart(),
                                                       exception.GetCanContinue(), services.history, services.now());
  bool ignored = false;
  switch (decision) {
    case TAutoDecision::closeApplication:
      services.firing.FireActionHandlers(exception, eaCloseApplication, TWindowHandle{}, ignored);
      FinishAutomaticActions(exception, true);
      CloseTheApplication(services);
      return TFlowOutcome::closed;
    case TAutoDecision::restartApplication:
      services.firing.FireActionHandlers(exception, eaRestartApplication, TWindowHandle{}, ignored);
      FinishAutomaticActions(exception, true);
      return RestartTheApplication(services) ? TFlowOutcome::restarted : TFlowOutcome::closed;
    case TAutoDecision::continueApplication:
      break;
  }
  services.firing.FireActionHandlers(exception, eaContinueApplication, TWindowHandle{}, ignored);
  return TFlowOutcome::continued;
}

// Phases up to post-processing; returns whether a handler took the exception.
bool RunPhases(TIREException& exception, const TFilterChoice& choice, bool& paused) {
  TFlowServices& services = exception.Services();
  exception.SetPhase(epQuickFiltering);
  bool handled;
  if (exception.GetExceptType() == etHidden) {
    handled = true;
    services.firing.FireHiddenHandlers(exception, handled);
  } else {
    handled = false;
    services.history.Record(services.now());
    exception.FireHandlers(epQuickFiltering, handled);
  }
  exception.SetPhase(epMainPhase);
  if (!handled) {
    if (PauseWanted(exception, choice)) paused = services.actions.PauseThreads(exception) == TActionResult::done;
    PrepareReport(exception);
    exception.FireHandlers(epMainPhase, handled);
  }
  exception.SetPhase(epPostProcessing);
  if (!handled) exception.FireHandlers(epPostProcessing, handled);
  return handled;
}

TFlowOutcome RunAfterPhases(TIREException& exception, bool handled) {
  if (handled && exception.GetCanContinue()) return TFlowOutcome::handled;
  const IREException& settings = exception.Settings();
  bool boxDecided = false;
  if (!handled) {
    if (settings.GetAutoSave() || settings.GetAutoSend() || settings.GetAutoClipboard())
      RegisterAutomaticActions(exception);
    boxDecided = ShowTheException(exception);
  }
  TFlowOutcome outcome = TFlowOutcome::decidedInBox;
  if (!(exception.GetCanContinue() && boxDecided)) outcome = DecideAutomatically(exception);
  if (!handled) FinishAutomaticActions(exception, false);
  return outcome;
}

}  // namespace

TFlowOutcome RunMainFlow(TIREException& exception) {
  const TFilterChoice choice = ApplyFilterChoice(exception);
  bool paused = false;
  const bool handled = RunPhases(exception, choice, paused);
  const TFlowOutcome outcome = RunAfterPhases(exception, handled);
  if (paused) exception.Services().actions.ResumeThreads();
  return outcome;
}

}  // namespace ruvex
