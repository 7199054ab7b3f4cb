#pragma once
// The exception handling of an enabled reporter: the handling thread and
// the services its flow runs over (handler firing with the main thread's
// message window, the report actions, the process).
#include <windows.h>

#include <memory>

#include "reporter/core/extensions/HandlerFiring.h"
#include "reporter/core/flow/ExceptionHistory.h"
#include "reporter/core/handling/HandlingThread_win.h"
#include "reporter/core/handling/MainThreadChannel_win.h"
#include "reporter/core/handling/ProcessControl_win.h"
#include "reporter/core/handling/RaisedException.h"
#include "reporter/core/handling/ReportActions_win.h"
#include "reporter/core/settings/Settings.h"

namespace ruvex {

class TExceptionHandling {
 public:
  // Runs in the main thread: the message window belongs to it.
  // `beforeEach` runs in the handling thread before every flow.
  TExceptionHandling(TSettingsEnvironment& settings, const THistoryTimes& history, DWORD mainThreadId,
                     std::function<void()> beforeEach = nullptr);
  TExceptionHandling(const TExceptionHandling&) = delete;
  TExceptionHandling& operator=(const TExceptionHandling&) = delete;

  bool Running() const { return thread_ && thread_->Running(); }
  DWORD HandlingThreadId() const { return thread_ ? thread_->ThreadId() : 0; }
  // What the process ends with when the reporter closes it.
  std::uint32_t CloseExitCode() const { return services_.switches.closeExitCode; }
  // The faulting thread's side: hands the request over and waits for it.
  // `request.exceptObject` points to a TRaisedException or is 0.
  THandOverResult Report(const THandlingRequest& request, bool isAbort);

 private:
  void Handle(const THandlingRequest& request);

  TSettingsEnvironment& settings_;
  std::function<void()> beforeEach_;
  TWin32MainThreadChannel mainThread_;
  THandlerFiring firing_;
  TWin32ReportActions actions_;
  TWin32ProcessControl process_;
  TExceptionHistory history_;
  TFlowServices services_;
  // Last: the thread stops before the services it runs over go.
  std::unique_ptr<THandlingThread> thread_;
};

}  // namespace ruvex
