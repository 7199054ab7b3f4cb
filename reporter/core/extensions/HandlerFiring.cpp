#include "reporter/core/extensions/HandlerFiring.h"

#include <algorithm>
#include <memory>

#include "reporter/core/flow/AutoActions.h"

namespace ruvex {
namespace {

template <class THandler>
bool NeedsMainThread(const THandlerLists<THandler>& lists, bool samePhaseOnly, TExceptPhase phase) {
  auto needs = [&](const auto& entry) { return entry.sync != stDontSync && (!samePhaseOnly || entry.phase == phase); };
  return std::any_of(lists.methods.begin(), lists.methods.end(), needs) ||
         std::any_of(lists.procedures.begin(), lists.procedures.end(), needs);
}

bool AnyNeedsMainThread(const THandlerSnapshot& lists, THandlerEvent event, TExceptPhase phase) {
  switch (event) {
    case heException: return NeedsMainThread(lists.exception, true, phase);
    case heAction: return NeedsMainThread(lists.action, false, phase);
    case heHidden: return NeedsMainThread(lists.hidden, false, phase);
  }
  return false;
}

// The assistant named for a send, save or print action, and its "2" action.
struct TAssistedAction {
  const char* assistantProperty;
  TExceptAction afterAssistant;
};

std::optional<TAssistedAction> AssistedAction(TExceptAction action) {
  switch (action) {
    case eaSendBugReport: return TAssistedAction{"SendAssis", eaSendBugReport2};
    case eaSaveBugReport: return TAssistedAction{"SaveAssis", eaSaveBugReport2};
    case eaPrintBugReport: return TAssistedAction{"PrintAssis", eaPrintBugReport2};
    default: return std::nullopt;
  }
}

}  // namespace

void THandlerFiring::WaitForCompleteReport(TExceptAction action, IREException& exceptIntf) {
  if (action != eaRestartApplication && action != eaCloseApplication) return;
  auto* exception = dynamic_cast<TIREException*>(&exceptIntf);
  if (!exception) return;
  if (exception->CriticalBugReportCallbackExists() ||
      (registry_.HasExceptionHandlers(epCompleteReport) && exception->GetCallHandlers()))
    exception->WaitComplete(kCompleteReportWaitMs);
}

bool THandlerFiring::RunInMainThread(const THandlerSnapshot& lists, TPassRecord& record) {
  if (record.exceptIntf->GetExceptType() == etFrozen) return false;
  const bool wasPaused = mainThread_.ResumeIfPaused();
  bool reached = false;
  if (mainThread_.Probe(kMainThreadProbeTimeout)) {
    // The main thread may still run the pass after a time-out, so it works
    // on shared copies that outlive this call.
    auto shared = std::make_shared<std::pair<THandlerSnapshot, TPassRecord>>(lists, record);
    shared->second.callSynchronised = true;
    reached = mainThread_.CallSynchronised([shared] { RunHandlerPass(shared->first, shared->second); },
                                           kSynchronisedCallTimeout);
    if (reached) record.handled = shared->second.handled;
  }
  if (wasPaused) mainThread_.PauseAgain();
  return reached;
}

bool THandlerFiring::FirePasses(THandlerEvent event, TExceptAction action, bool handled, IREException& exceptIntf) {
  if (!exceptIntf.GetCallHandlers() || !registry_.HasHandlers(event)) return handled;
  const THandlerSnapshot lists = registry_.Snapshot();
  TPassRecord record{event, action, &exceptIntf, handled, false, false};
  const bool called = RunHandlerPass(lists, record);
  if ((!record.handled || !called) && mainThread_.MessageWindowExists() &&
      AnyNeedsMainThread(lists, event, exceptIntf.GetPhase())) {
    if (!RunInMainThread(lists, record)) {
      record.callSynchronised = true;
      record.syncFailed = true;
      RunHandlerPass(lists, record);
    }
  }
  return record.handled;
}

bool THandlerFiring::RunActionAssistant(TWindowHandle parent, TExceptAction action, IREException& exceptIntf) {
  auto assisted = AssistedAction(action);
  if (!assisted) return false;
  const std::u16string name = exceptIntf.GetPropStr(assisted->assistantProperty);
  if (name.empty()) return false;
  if (auto assistant = exceptIntf.GetAssistant(name); assistant && assistants_) {
    std::vector<TAssistantFormResult> results;
    if (assistants_->Run(exceptIntf, *assistant, parent, results) != TAssistantEnd::ok) return true;
    ApplyAssistantResults(results, *exceptIntf.GetBugReportHeader(), *exceptIntf.GetBugReportSections());
  }
  return false;
}

bool THandlerFiring::FireHandlerEvent(TWindowHandle parent, THandlerEvent event, TExceptAction action, bool handled,
                                      IREException& exceptIntf) {
  WaitForCompleteReport(action, exceptIntf);
  handled = FirePasses(event, action, handled, exceptIntf);
  if (event != heAction || handled || !parent) return handled;
  auto assisted = AssistedAction(action);
  if (!assisted || exceptIntf.GetPropStr(assisted->assistantProperty).empty()) return handled;
  if (RunActionAssistant(parent, action, exceptIntf)) return true;
  return FireHandlerEvent(parent, heAction, assisted->afterAssistant, false, exceptIntf);
}

void THandlerFiring::FireExceptionHandlers(IREException& exceptIntf, bool& handled) {
  handled = FireHandlerEvent(TWindowHandle{}, heException, eaContinueApplication, handled, exceptIntf);
}

void THandlerFiring::FireActionHandlers(IREException& exceptIntf, TExceptAction action, TWindowHandle parent,
                                        bool& handled) {
  handled = FireHandlerEvent(parent, heAction, action, handled, exceptIntf);
}

void THandlerFiring::FireHiddenHandlers(IREException& exceptIntf, bool& handled) {
  handled = FireHandlerEvent(TWindowHandle{}, heHidden, eaContinueApplication, handled, exceptIntf);
}

}  // namespace ruvex
