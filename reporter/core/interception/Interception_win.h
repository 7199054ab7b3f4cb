#pragma once
// The interception points of an enabled reporter. Each ends in the handling
// thread with its source and whether the program can go on afterwards:
//   unhandled system exceptions (any thread)   esUnhandledFilter   no
//   stack overflow (vectored, first chance)    esUnhandledFilter   no
//   uncaught C++ exception                     esExceptProc        outside the main thread
//   std::terminate without an exception        esRuntimeError      no
//   abort (SIGABRT)                            esRuntimeError      no
//   invalid parameter to the C runtime         esRuntimeError      yes
//   pure virtual call                          esRuntimeError      no
//   out of memory (new handler)                esRuntimeError      no
// The debugger's thread-naming exception is recorded and swallowed.
#include <windows.h>

#include <csignal>
#include <exception>
#include <memory>
#include <new>

#include "reporter/core/handling/ExceptionHandling_win.h"
#include "reporter/core/interception/OutOfMemoryReserve_win.h"
#include "reporter/core/startup/Startup_win.h"

namespace ruvex {

// Room the reporter keeps on the main thread's stack for a stack overflow.
inline constexpr ULONG kStackGuarantee = 64 * 1024;

struct TInterceptedFault {
  DWORD threadId = GetCurrentThreadId();  // the faulting thread
  TRaisedException raised;
  TExceptSource source = esManual;
  bool canContinue = false;
  std::uintptr_t address = 0;
  const CONTEXT* context = nullptr;
  const EXCEPTION_RECORD* record = nullptr;
};

class TInterception final : public IEnabledServices {
 public:
  explicit TInterception(TReporterStartup& startup);
  // Restores every procedure it replaced, then stops the handling thread.
  ~TInterception() override;

  // The running interception, or null.
  static TInterception* Active();
  // Hands the fault to the handling thread and waits. A fault raised while
  // this thread already reports one is not reported again.
  THandOverResult Report(TInterceptedFault& fault);
  bool IsHandlingThread() const { return GetCurrentThreadId() == handling_.HandlingThreadId(); }
  TThreadRegistry* Registry() const { return startup_.Registry(); }
  DWORD MainThreadId() const { return startup_.MainThreadId(); }
  std::uint32_t CloseExitCode() const { return handling_.CloseExitCode(); }

 private:
  void Install();
  void Restore();

  TReporterStartup& startup_;
  TExceptionHandling handling_;
  TOutOfMemoryReserve reserve_;
  LPTOP_LEVEL_EXCEPTION_FILTER previousFilter_ = nullptr;
  void* vectoredHandler_ = nullptr;
  std::terminate_handler previousTerminate_ = nullptr;
  std::new_handler previousNewHandler_ = nullptr;
  void (*previousAbortSignal_)(int) = SIG_DFL;
  _invalid_parameter_handler previousInvalidParameter_ = nullptr;
  _purecall_handler previousPurecall_ = nullptr;
  // The system runtime's own handlers, beside those of the program's
  // runtime library: its functions check their parameters themselves.
  _invalid_parameter_handler previousSystemInvalidParameter_ = nullptr;
  _purecall_handler previousSystemPurecall_ = nullptr;
};

// The starter for TReporterStartup.
std::unique_ptr<IEnabledServices> StartInterception(TReporterStartup& startup);

// The runtime's pure-call entry (see ThrowNotification_win.cpp).
void ReportPureCall(std::uintptr_t address);

}  // namespace ruvex
