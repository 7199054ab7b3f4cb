// The user actions of the exception object, as the box offers them.
#include "reporter/core/flow/ApplicationEnd.h"
#include "reporter/core/flow/AutoActions.h"
#include "reporter/core/flow/Exception.h"

namespace ruvex {
namespace {

bool Fire(TIREException& exception, TExceptAction action, TWindowHandle parent) {
  bool handled = false;
  exception.Services().firing.FireActionHandlers(exception, action, parent, handled);
  return handled;
}

}  // namespace

bool TIREException::ShowBugReport(TWindowHandle) {
  return services_.actions.ShowBugReport(*this) == TActionResult::done;
}

bool TIREException::ContinueApplication(TWindowHandle parent) {
  Fire(*this, eaContinueApplication, parent);
  services_.actions.CloseBox(*this);
  return true;
}

bool TIREException::RestartApplication(TWindowHandle parent) {
  if (Fire(*this, eaRestartApplication, parent)) return false;
  services_.actions.CloseBox(*this);
  FinishAutomaticActions(*this, true);
  return RestartTheApplication(services_);
}

bool TIREException::CloseApplication(TWindowHandle parent) {
  if (Fire(*this, eaCloseApplication, parent)) return false;
  services_.actions.CloseBox(*this);
  FinishAutomaticActions(*this, true);
  CloseTheApplication(services_);
  return true;
}

bool TIREException::SendBugReport(TWindowHandle parent) {
  if (Fire(*this, eaSendBugReport, parent)) return false;
  TSendOptions options;
  options.withScreenShot = GetAppendScreenShot();
  options.parent = parent;
  options.backgroundAllowed = Settings().GetSendInBackground();
  if (services_.actions.SendBugReport(*this, options) != TActionResult::done) return false;
  SetMailWasSent(true);
  Fire(*this, eaSendBugReport3, parent);
  return true;
}

bool TIREException::SaveBugReport(TWindowHandle parent) {
  if (Fire(*this, eaSaveBugReport, parent)) return false;
  if (services_.actions.SaveBugReport(*this, false, parent) != TActionResult::done) return false;
  SetMailWasSaved(true);
  Fire(*this, eaSaveBugReport3, parent);
  return true;
}

bool TIREException::PrintBugReport(TWindowHandle parent) {
  if (Fire(*this, eaPrintBugReport, parent)) return false;
  if (services_.actions.PrintBugReport(*this, parent) != TActionResult::done) return false;
  Fire(*this, eaPrintBugReport3, parent);
  return true;
}

}  // namespace ruvex
