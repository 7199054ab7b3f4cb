#pragma once
// What the handling flow asks of the rest of the reporter: the handler
// firing, the report actions (box, save, send, print...) and the process.
// Each is an interface so that the flow runs over fakes and the Windows
// halves plug in later.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/win/NativeHandles.h"
#include "reporter/core/flow/ExceptTypes.h"
#include "reporter/core/flow/ExceptionHistory.h"

namespace ruvex {

class IREException;
using kelvane::TWindowHandle;

class IHandlerFiring {
 public:
  virtual ~IHandlerFiring() = default;
  // The exception handlers of the exception's current phase.
  virtual void FireExceptionHandlers(IREException& exceptIntf, bool& handled) = 0;
  virtual void FireActionHandlers(IREException& exceptIntf, TExceptAction action, TWindowHandle parent,
                                  bool& handled) = 0;
  virtual void FireHiddenHandlers(IREException& exceptIntf, bool& handled) = 0;
  virtual bool HasHiddenHandlers() const = 0;
  virtual bool HasExceptionHandlers(TExceptPhase phase) const = 0;
};

// An action that is not carried out (not built, failed, cancelled) says so;
// the flow never announces it as done.
enum class TActionResult { done, notDone };

struct TSendOptions {
  bool withScreenShot = false;
  TWindowHandle parent;
  bool backgroundAllowed = false;
  bool silent = false;
};

class IReportActions {
 public:
  virtual ~IReportActions() = default;
  // The box, assistant or detail box by the show setting; returns once the
  // user has decided (through the exception's user actions).
  virtual TActionResult ShowException(IREException& exceptIntf) = 0;
  // Web/service and console programs: the report as text output.
  virtual TActionResult ShowExceptionAsText(IREException& exceptIntf) = 0;
  virtual TActionResult TakeScreenShot(IREException& exceptIntf) = 0;
  virtual TActionResult StartBugReport(IREException& exceptIntf) = 0;
  virtual TActionResult SendBugReport(IREException& exceptIntf, const TSendOptions& options) = 0;
  virtual TActionResult SaveBugReport(IREException& exceptIntf, bool automatic, TWindowHandle parent) = 0;
  virtual TActionResult PrintBugReport(IREException& exceptIntf, TWindowHandle parent) = 0;
  virtual TActionResult CopyBugReport(IREException& exceptIntf) = 0;
  virtual TActionResult ShowBugReport(IREException& exceptIntf) = 0;
  virtual void CloseBox(IREException& exceptIntf) = 0;
  virtual void WaitForBackgroundSend(IREException& exceptIntf) = 0;
  // Cooperative pausing of the application's threads, sparing one.
  virtual TActionResult PauseThreads(IREException& exceptIntf) = 0;
  virtual void ResumeThreads() = 0;
};

// The actions before their parts exist: nothing is done, and says so.
class TActionsNotBuilt : public IReportActions {
 public:
  TActionResult ShowException(IREException&) override { return TActionResult::notDone; }
  TActionResult ShowExceptionAsText(IREException&) override { return TActionResult::notDone; }
  TActionResult TakeScreenShot(IREException&) override { return TActionResult::notDone; }
  TActionResult StartBugReport(IREException&) override { return TActionResult::notDone; }
  TActionResult SendBugReport(IREException&, const TSendOptions&) override { return TActionResult::notDone; }
  TActionResult SaveBugReport(IREException&, bool, TWindowHandle) override { return TActionResult::notDone; }
  TActionResult PrintBugReport(IREException&, TWindowHandle) override { return TActionResult::notDone; }
  TActionResult CopyBugReport(IREException&) override { return TActionResult::notDone; }
  TActionResult ShowBugReport(IREException&) override { return TActionResult::notDone; }
  void CloseBox(IREException&) override {}
  void WaitForBackgroundSend(IREException&) override {}
  TActionResult PauseThreads(IREException&) override { return TActionResult::notDone; }
  void ResumeThreads() override {}
};

class IProcessControl {
 public:
  virtual ~IProcessControl() = default;
  virtual std::u16string CommandLine() const = 0;
  // Starts the successor suspended, leaves it the hand-over block with the
  // history and lets it run; false when it could not be started.
  virtual bool StartSuccessor(std::u16string_view commandLine, const TExceptionHistory& history) = 0;
  // Ends the process at once, no finalisation (the fake records and returns).
  virtual void Terminate(std::uint32_t exitCode) = 0;
};

inline constexpr std::uint32_t kRestartExitCode = 2;

// Process-wide switches with their defaults.
struct TFlowSwitches {
  std::uint32_t closeExitCode = 1;
  bool handleConsolePrograms = true;
  bool isConsoleProgram = false;
  bool webServiceMode = false;
  bool silentAutoSend = true;
  // Pausing threads is only safe when the reporter's code is the program's.
  bool libraryIsExecutable = true;
};

struct TFlowServices {
  IHandlerFiring& firing;
  IReportActions& actions;
  IProcessControl& process;
  TExceptionHistory& history;
  // Seconds since 1601-01-01 UTC.
  std::function<std::uint64_t()> now;
  TFlowSwitches switches;
};

}  // namespace ruvex
