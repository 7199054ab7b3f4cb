#pragma once
// The faulting thread's side of the hand-over (the central handler's
// decisions) and the handling thread's loop over the request ring.
#include <atomic>
#include <cstdint>
#include <functional>

#include "reporter/core/flow/RequestRing.h"
#include "reporter/core/flow/ReportedMark.h"

namespace ruvex {

enum class TWaitOutcome { requestDone, handlingThreadEnded };

// The waits and signals around a request. The Windows half waits on the
// request's event and the handling thread's handle together, so that a
// handling thread that died never leaves the faulting thread waiting.
class IHandlingSignals {
 public:
  virtual ~IHandlingSignals() = default;
  virtual TWaitOutcome WaitForRequest(const THandlingRequest& request) = 0;
  // Handling side: sets the request's event and wakes its thread.
  virtual void RequestDone(const THandlingRequest& request) = 0;
};

enum class THandOverResult {
  ignored,              // the handling thread's own, or the main thread's during synchronised handlers
  aborted,              // an abort exception: never reported
  notQueued,            // no free slot: not handled, nobody waits
  handled,
  handlingThreadEnded,  // the handling thread ended before the request was done
};

struct TFaultingCall {
  std::uint32_t threadId = 0;
  bool isAbort = false;  // the object's class or an ancestor is "EAbort"
};

class TCentralHandler {
 public:
  TCentralHandler(TRequestRing& ring, IHandlingSignals& signals, TReportedMarks& marks)
      : ring_(ring), signals_(signals), marks_(marks) {}

  void SetHandlingThread(std::uint32_t threadId) { handlingThread_ = threadId; }
  void SetMainThread(std::uint32_t threadId) { mainThread_ = threadId; }
  // While handlers run synchronised in the main thread, its exceptions are not reported.
  void SetMainThreadInHandlers(bool running) { mainInHandlers_ = running; }
  // With hidden-exception handlers, reported objects are marked so that the
  // hidden path does not hand them in again.
  void SetHiddenHandlersExist(std::function<bool()> exist) { hiddenHandlersExist_ = std::move(exist); }

  // The release of an object the application handled itself: hand it in as
  // hidden exception only when someone listens and it was not reported yet.
  bool ShouldHandInHidden(std::uintptr_t exceptObject) const;

  // An abort exception that cannot continue closes the application: `close`.
  THandOverResult Report(const TFaultingCall& call, const THandlingRequest& request,
                         const std::function<void()>& close);

 private:
  TRequestRing& ring_;
  IHandlingSignals& signals_;
  TReportedMarks& marks_;
  std::atomic<std::uint32_t> handlingThread_{0};
  std::atomic<std::uint32_t> mainThread_{0};
  std::atomic<bool> mainInHandlers_{false};
  std::function<bool()> hiddenHandlersExist_;
};

// The handling thread: takes requests in arrival order until one asks it to
// end; a fault inside `handle` is swallowed and the request still released.
void RunHandlingLoop(TRequestRing& ring, IHandlingSignals& signals,
                     const std::function<void(const THandlingRequest&)>& handle);

}  // namespace ruvex
