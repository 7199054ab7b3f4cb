#include "reporter/core/handling/ExceptionHandling_win.h"

#include "reporter/core/flow/MainFlow.h"
#include "reporter/core/handling/HandlerLists.h"

namespace ruvex {
namespace {

std::uint64_t SecondsSince1601() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return ((std::uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime) / 10000000ull;
}

bool IsConsoleProgram() {
  const auto* image = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
  return nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}

TExceptionData DataOf(const THandlingRequest& request) {
  TExceptionData data;
  data.type = request.exceptType;
  if (const auto* raised = reinterpret_cast<const TRaisedException*>(request.exceptObject)) {
    data.exceptObject = raised->thrownObject ? raised->thrownObject : request.exceptObject;
    data.classChain = raised->classChain;
    data.message = raised->message;
  }
  data.address = request.exceptAddr;
  data.canContinue = request.canContinue;
  data.crashedThreadId = request.threadId;
  data.stackPointer = request.stackPointer;
  data.framePointer = request.framePointer;
  data.source = request.source;
  data.relatedObject = request.relatedObject;
  data.package = request.package;
  data.resultText = request.resultText;
  return data;
}

}  // namespace

TExceptionHandling::TExceptionHandling(TSettingsEnvironment& settings, const THistoryTimes& history,
                                       DWORD mainThreadId, std::function<void()> beforeEach)
    : settings_(settings),
      beforeEach_(std::move(beforeEach)),
      mainThread_([this](bool running) {
        if (thread_) thread_->Central().SetMainThreadInHandlers(running);
      }),
      firing_(ProcessHandlerRegistry(), mainThread_),
      actions_(GetTickCount64()),
      history_(history),
      services_{firing_, actions_, process_, history_, &SecondsSince1601, TFlowSwitches{}} {
  services_.switches.isConsoleProgram = IsConsoleProgram();
  thread_ = std::make_unique<THandlingThread>([this](const THandlingRequest& request) { Handle(request); },
                                              mainThreadId);
  thread_->Central().SetHiddenHandlersExist([this] { return firing_.HasHiddenHandlers(); });
}

THandOverResult TExceptionHandling::Report(const THandlingRequest& request, bool isAbort) {
  const TFaultingCall call{request.threadId, isAbort};
  return thread_->Central().Report(call, request, [this] { process_.Terminate(services_.switches.closeExitCode); });
}

void TExceptionHandling::Handle(const THandlingRequest& request) {
  if (beforeEach_) beforeEach_();
  TIREException exception(settings_, RESettingsForAddress(settings_, request.exceptAddr), DataOf(request), services_);
  RunMainFlow(exception);
}

}  // namespace ruvex
