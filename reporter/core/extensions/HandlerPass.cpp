#include "reporter/core/extensions/HandlerPass.h"

namespace ruvex {
namespace {

// A handler's own fault never reaches the flow.
template <class TCall>
void Guarded(const TCall& call) {
  try {
    call();
  } catch (...) {
  }
}

// Exception handlers of the current phase. Up to the main phase a handler
// that sets handled stops the list; after it every handler is called.
bool RunExceptionList(const std::vector<THandlerEntry<TExceptEvent>>& list, TPassRecord& record) {
  const TExceptPhase phase = record.exceptIntf->GetPhase();
  bool called = false;
  for (const auto& entry : list) {
    if (record.handled && phase <= epMainPhase) break;
    if (entry.phase != phase || !TakesPart(entry.sync, record)) continue;
    Guarded([&] { entry.handler(*record.exceptIntf, record.handled); });
    called = true;
  }
  return called;
}

bool RunActionList(const std::vector<THandlerEntry<TExceptActionEvent>>& list, TPassRecord& record) {
  bool called = false;
  for (const auto& entry : list) {
    if (record.handled) break;
    if (!TakesPart(entry.sync, record)) continue;
    Guarded([&] { entry.handler(record.action, *record.exceptIntf, record.handled); });
    called = true;
  }
  return called;
}

// Hidden-exception handlers all see the exception, whatever they answer.
bool RunHiddenList(const std::vector<THandlerEntry<TExceptEvent>>& list, TPassRecord& record) {
  bool called = false;
  for (const auto& entry : list) {
    if (!TakesPart(entry.sync, record)) continue;
    Guarded([&] { entry.handler(*record.exceptIntf, record.handled); });
    called = true;
  }
  return called;
}

}  // namespace

bool TakesPart(TSyncType sync, const TPassRecord& record) {
  if ((sync != stDontSync) != record.callSynchronised) return false;
  return !record.syncFailed || sync == stTrySyncCallAlways;
}

bool RunHandlerPass(const THandlerSnapshot& lists, TPassRecord& record) {
  bool called = false;
  switch (record.event) {
    case heException:
      called = RunExceptionList(lists.exception.methods, record);
      if (!record.handled) called = RunExceptionList(lists.exception.procedures, record) || called;
      break;
    case heAction:
      called = RunActionList(lists.action.methods, record);
      if (!record.handled) called = RunActionList(lists.action.procedures, record) || called;
      break;
    case heHidden:
      called = RunHiddenList(lists.hidden.methods, record);
      called = RunHiddenList(lists.hidden.procedures, record) || called;
      break;
  }
  return called;
}

}  // namespace ruvex
