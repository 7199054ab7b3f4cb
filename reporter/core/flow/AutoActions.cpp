#include "reporter/core/flow/AutoActions.h"

namespace ruvex {
namespace {

const char kAutoActionsKey = 0;

void FireAction(TIREException& exception, TExceptAction action, bool& handled) {
  exception.Services().firing.FireActionHandlers(exception, action, TWindowHandle{}, handled);
}

void AutoSend(TIREException& exception) {
  bool handled = false;
  FireAction(exception, eaSendBugReport, handled);
  if (handled) return;
  TFlowServices& services = exception.Services();
  TSendOptions options;
  options.withScreenShot = exception.GetAppendScreenShot();
  options.backgroundAllowed = true;
  options.silent = services.switches.silentAutoSend;
  if (services.actions.SendBugReport(exception, options) != TActionResult::done) return;
  exception.SetMailWasSent(true);
  bool handled3 = false;
  FireAction(exception, eaSendBugReport3, handled3);
}

void OnReportGrew(bool complete, const std::u16string& bugReport, IREException& intf) {
  auto& exception = static_cast<TIREException&>(intf);
  if (!complete || !exception.FirstCompleteCallback()) return;
  if (exception.Settings().GetAutoSend() && !bugReport.empty()) AutoSend(exception);
  if (exception.Settings().GetAutoClipboard())
    exception.Services().actions.CopyBugReport(exception);
  else
    exception.UnregisterBugReportCallback(&kAutoActionsKey);
}

void AutoSave(TIREException& exception) {
  const IREException& settings = exception.Settings();
  if (!settings.GetAutoSave()) return;
  if (settings.GetAutoSaveIfNotSent() && exception.GetMailWasSent()) return;
  if (!exception.FirstAutoSave()) return;
  if (exception.GetBugReport(true, kCompleteReportWaitMs).empty()) return;
  bool handled = false;
  FireAction(exception, eaSaveBugReport, handled);
  if (handled) return;
  if (exception.Services().actions.SaveBugReport(exception, true, TWindowHandle{}) != TActionResult::done) return;
  exception.SetMailWasSaved(true);
  bool handled3 = false;
  FireAction(exception, eaSaveBugReport3, handled3);
}

}  // namespace

void RegisterAutomaticActions(TIREException& exception) {
  exception.RegisterBugReportCallback(&kAutoActionsKey, OnReportGrew, true);
}

void FinishAutomaticActions(TIREException& exception, bool wait) {
  TFlowServices& services = exception.Services();
  const bool needsComplete = exception.CriticalBugReportCallbackExists() ||
                             (exception.GetCallHandlers() && services.firing.HasExceptionHandlers(epCompleteReport));
  if (needsComplete) exception.WaitComplete(kCompleteReportWaitMs);
  AutoSave(exception);
  if (wait) services.actions.WaitForBackgroundSend(exception);
}

}  // namespace ruvex
