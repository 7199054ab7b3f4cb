#include "reporter/core/flow/HandOver.h"

#include <chrono>

namespace ruvex {

THandOverResult TCentralHandler::Report(const TFaultingCall& call, const THandlingRequest& request,
                                        const std::function<void()>& close) {
  if (call.threadId != 0 && call.threadId == handlingThread_) return THandOverResult::ignored;
  if (mainInHandlers_ && call.threadId == mainThread_) return THandOverResult::ignored;
  if (call.isAbort) {
    if (!request.canContinue && close) close();
    return THandOverResult::aborted;
  }
  if (!ring_.Write(request)) return THandOverResult::notQueued;
  const TWaitOutcome waited = signals_.WaitForRequest(request);
  if (hiddenHandlersExist_ && hiddenHandlersExist_()) marks_.Mark(request.exceptObject);
  return waited == TWaitOutcome::requestDone ? THandOverResult::handled : THandOverResult::handlingThreadEnded;
}

bool TCentralHandler::ShouldHandInHidden(std::uintptr_t exceptObject) const {
  return hiddenHandlersExist_ && hiddenHandlersExist_() && !marks_.IsMarked(exceptObject);
}

void RunHandlingLoop(TRequestRing& ring, IHandlingSignals& signals,
                     const std::function<void(const THandlingRequest&)>& handle) {
  for (;;) {
    auto request = ring.Read(std::chrono::milliseconds(100));
    if (!request) continue;
    if (request->AsksToEnd()) return;
    try {
      handle(*request);
    } catch (...) {
      // The reporter's own faults never reach the application.
    }
    signals.RequestDone(*request);
  }
}

}  // namespace ruvex
