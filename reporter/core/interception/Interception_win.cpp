#include "reporter/core/interception/Interception_win.h"

#include <cxxabi.h>

#include <atomic>
#include <cstring>
#include <new>

#include "common/text/FileNames.h"
#include "common/win/NativeHandles_win.h"
#include "reporter/core/interception/FaultMessages.h"
#include "reporter/core/interception/RaiseState_win.h"
#include "reporter/core/interception/ThrownException.h"

namespace ruvex {
namespace {

constexpr DWORD kThreadNamingCode = 0x406D1388;
// The C++ runtime's own raise and unwind: when nobody catches a throw, the
// runtime needs RaiseException to return so that it can call terminate.
constexpr DWORD kGccThrowCode = 0x20474343;
constexpr DWORD kGccUnwindCode = 0x21474343;

std::atomic<TInterception*> gActive{nullptr};
thread_local bool tReporting = false;

std::uintptr_t CallerAddress(void* returnAddress) { return reinterpret_cast<std::uintptr_t>(returnAddress) - 1; }

// --- system exceptions ---

std::optional<std::u16string> ModuleNameAt(std::uintptr_t address) {
  MEMORY_BASIC_INFORMATION region{};
  if (!VirtualQuery(reinterpret_cast<void*>(address), &region, sizeof region)) return std::nullopt;
  const DWORD inaccessible = PAGE_NOACCESS | PAGE_GUARD;
  if (region.State != MEM_COMMIT || region.Type != MEM_IMAGE || (region.Protect & inaccessible)) return std::nullopt;
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(static_cast<HMODULE>(region.AllocationBase), path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::nullopt;
  return kelvane::FileNameOf(std::u16string(path, path + n));
}

TInterceptedFault SystemFault(const EXCEPTION_POINTERS& pointers) {
  const EXCEPTION_RECORD& record = *pointers.ExceptionRecord;
  const auto address = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
  TAccessFacts access;
  if (record.ExceptionCode == kAccessViolation && record.NumberParameters >= 2) {
    access.moduleName = ModuleNameAt(address);
    access.faultAddress = address;
    access.write = record.ExceptionInformation[0] != 0;
    access.accessedAddress = record.ExceptionInformation[1];
  }
  TInterceptedFault fault;
  fault.raised.classChain = SystemExceptionClassChain(record.ExceptionCode);
  fault.raised.message = SystemExceptionMessage(record.ExceptionCode, access);
  fault.source = esUnhandledFilter;
  fault.address = address;
  fault.context = pointers.ContextRecord;
  fault.record = &record;
  return fault;
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
  TInterception* active = TInterception::Active();
  if (!active || !pointers || !pointers->ExceptionRecord) return EXCEPTION_CONTINUE_SEARCH;
  const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  if ((record.ExceptionCode == kGccThrowCode || record.ExceptionCode == kGccUnwindCode) &&
      !(record.ExceptionFlags & EXCEPTION_NONCONTINUABLE))
    return EXCEPTION_CONTINUE_EXECUTION;
  // A fault inside the flow (a handler's, say) ends the handling thread
  // alone: the faulting thread's wait ends with it, and that thread goes on.
  if (active->IsHandlingThread()) ExitThread(1);
  TInterceptedFault fault = SystemFault(*pointers);
  active->Report(fault);
  // Still here: the fault was not handled to the end; the process ends.
  TerminateProcess(GetCurrentProcess(), active->CloseExitCode());
  return EXCEPTION_EXECUTE_HANDLER;
}

struct TStackOverflowCall {
  TInterception* active;
  EXCEPTION_POINTERS* pointers;
  DWORD faultingThread;
};

DWORD WINAPI ReportStackOverflow(void* parameter) {
  auto& call = *static_cast<TStackOverflowCall*>(parameter);
  TInterceptedFault fault = SystemFault(*call.pointers);
  fault.threadId = call.faultingThread;
  call.active->Report(fault);
  return 0;
}

LONG WINAPI OnFirstChance(EXCEPTION_POINTERS* pointers) {
  TInterception* active = TInterception::Active();
  if (!active || !pointers || !pointers->ExceptionRecord) return EXCEPTION_CONTINUE_SEARCH;
  const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  if (record.ExceptionCode == kThreadNamingCode) {
    if (active->Registry() && active->Registry()->RecordThreadNamingException(record))
      return EXCEPTION_CONTINUE_EXECUTION;
    return EXCEPTION_CONTINUE_SEARCH;
  }
  if (record.ExceptionCode == kStackOverflowCode) {
    // The faulting thread has no stack left to describe its fault: a helper
    // with a stack of its own does that and hands it over, while the
    // faulting thread only waits.
    TStackOverflowCall call{active, pointers, GetCurrentThreadId()};
    kelvane::TWinHandle helper(CreateThread(nullptr, 256 * 1024, &ReportStackOverflow, &call, 0, nullptr));
    if (helper) WaitForSingleObject(helper.Get(), INFINITE);
    TerminateProcess(GetCurrentProcess(), active->CloseExitCode());
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

// --- C++ exceptions and runtime errors ---

// The runtime's errors come as the reporter's own exception class.
TInterceptedFault RuntimeFault(std::u16string message, std::uintptr_t address, bool canContinue) {
  TInterceptedFault fault;
  fault.raised.classChain = {u"RuvexException"};
  fault.raised.message = message.empty() ? u"Runtime error" : std::move(message);
  fault.source = esRuntimeError;
  fault.canContinue = canContinue;
  fault.address = address;
  return fault;
}

[[noreturn]] void EndAfterRuntimeFault(TInterception& active) {
  TerminateProcess(GetCurrentProcess(), active.CloseExitCode());
  for (;;) Sleep(INFINITE);
}

// A C++ exception nobody caught: reported where it was raised; outside
// the main thread only that thread ends.
[[noreturn]] void ReportUncaught(TInterception& active, const std::exception_ptr& current) {
  const void* thrown = ThrownObjectOf(current);
  TInterceptedFault fault;
  fault.raised.classChain = ThrownClassChain(abi::__cxa_current_exception_type());
  fault.raised.message = ThrownMessage(current);
  fault.raised.thrownObject = reinterpret_cast<std::uintptr_t>(thrown);
  fault.source = esExceptProc;
  fault.canContinue = GetCurrentThreadId() != active.MainThreadId();
  CONTEXT context;
  if (const TStackInformation* raise = RaiseRecordOf(thrown)) {
    fault.address = raise->raiseAddress;
    std::memcpy(&context, raise->context.data(), sizeof context);
    fault.context = &context;
  }
  active.Report(fault);
  // Whatever became of the report, a thread that may end alone does so.
  if (fault.canContinue) ExitThread(0);
  EndAfterRuntimeFault(active);
}

[[noreturn]] void OnTerminate() {
  TInterception* active = TInterception::Active();
  if (!active) std::abort();
  if (const std::exception_ptr current = std::current_exception()) ReportUncaught(*active, current);
  TInterceptedFault fault = RuntimeFault(u"Terminate called without an active exception",
                                         CallerAddress(__builtin_return_address(0)), false);
  active->Report(fault);
  EndAfterRuntimeFault(*active);
}

// An abort is also where a rethrow that nobody catches ends.
void OnAbortSignal(int) {
  TInterception* active = TInterception::Active();
  if (!active) return;
  const std::exception_ptr current = std::current_exception();
  if (IsBeingRethrown(current)) ReportUncaught(*active, current);
  TInterceptedFault fault = RuntimeFault(u"Abnormal program termination", 0, false);
  active->Report(fault);
  EndAfterRuntimeFault(*active);
}

void OnInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int, uintptr_t) {
  if (TInterception* active = TInterception::Active()) {
    TInterceptedFault fault = RuntimeFault(u"Invalid parameter passed to C runtime function",
                                           CallerAddress(__builtin_return_address(0)), true);
    // Returning lets the runtime function fail with its error code.
    active->Report(fault);
  }
}

void OnPureCall() { ReportPureCall(CallerAddress(__builtin_return_address(0))); }

void OnOutOfMemory() {
  TInterception* active = TInterception::Active();
  if (!active) throw std::bad_alloc();
  TInterceptedFault fault = RuntimeFault(u"Out of memory", CallerAddress(__builtin_return_address(0)), false);
  const THandOverResult result = active->Report(fault);
  // Not reported (the handling thread's own request): the runtime's way.
  if (result == THandOverResult::ignored) throw std::bad_alloc();
  EndAfterRuntimeFault(*active);
}

void SetRequestPointers(THandlingRequest& request, const CONTEXT* context) {
  if (!context) return;
#ifdef _WIN64
  request.stackPointer = context->Rsp;
  request.framePointer = context->Rbp;
#else
  request.stackPointer = context->Esp;
  request.framePointer = context->Ebp;
#endif
}

}  // namespace

void ReportPureCall(std::uintptr_t address) {
  TInterception* active = TInterception::Active();
  if (!active) return;
  TInterceptedFault fault = RuntimeFault(u"Pure virtual function call", address, false);
  active->Report(fault);
  EndAfterRuntimeFault(*active);
}

TInterception::TInterception(TReporterStartup& startup)
    : startup_(startup),
      handling_(startup.Settings(), startup.ExceptionTimes(), startup.MainThreadId(),
                [&startup] { startup.CleanOwnTemporaryFolder(); }),
      reserve_(startup.ReserveLock()) {
  if (TThreadRegistry* registry = startup.Registry())
    registry->NameThread(handling_.HandlingThreadId(), std::u16string(kHandlingThreadName));
  reserve_.Allocate();
  Install();
  gActive.store(this);
}

TInterception::~TInterception() {
  gActive.store(nullptr);
  Restore();
}

TInterception* TInterception::Active() { return gActive.load(); }

namespace {

template <class THandler>
THandler SetSystemRuntimeHandler(const char* setterName, THandler handler) {
  HMODULE runtime = GetModuleHandleW(L"msvcrt.dll");
  auto setter = runtime ? reinterpret_cast<THandler (*)(THandler)>(
                              reinterpret_cast<void*>(GetProcAddress(runtime, setterName)))
                        : nullptr;
  return setter ? setter(handler) : nullptr;
}

}  // namespace

void TInterception::Install() {
  previousFilter_ = SetUnhandledExceptionFilter(&OnUnhandledException);
  vectoredHandler_ = AddVectoredExceptionHandler(1, &OnFirstChance);
  ULONG guarantee = kStackGuarantee;
  SetThreadStackGuarantee(&guarantee);
  previousTerminate_ = std::set_terminate(&OnTerminate);
  previousNewHandler_ = std::set_new_handler(&OnOutOfMemory);
  previousAbortSignal_ = std::signal(SIGABRT, &OnAbortSignal);
  previousInvalidParameter_ = _set_invalid_parameter_handler(&OnInvalidParameter);
  previousPurecall_ = _set_purecall_handler(&OnPureCall);
  previousSystemInvalidParameter_ =
      SetSystemRuntimeHandler<_invalid_parameter_handler>("_set_invalid_parameter_handler", &OnInvalidParameter);
  previousSystemPurecall_ = SetSystemRuntimeHandler<_purecall_handler>("_set_purecall_handler", &OnPureCall);
}

void TInterception::Restore() {
  SetSystemRuntimeHandler<_purecall_handler>("_set_purecall_handler", previousSystemPurecall_);
  SetSystemRuntimeHandler<_invalid_parameter_handler>("_set_invalid_parameter_handler",
                                                      previousSystemInvalidParameter_);
  _set_purecall_handler(previousPurecall_);
  _set_invalid_parameter_handler(previousInvalidParameter_);
  std::signal(SIGABRT, previousAbortSignal_ == SIG_ERR ? SIG_DFL : previousAbortSignal_);
  std::set_new_handler(previousNewHandler_);
  std::set_terminate(previousTerminate_);
  if (vectoredHandler_) RemoveVectoredExceptionHandler(vectoredHandler_);
  SetUnhandledExceptionFilter(previousFilter_);
}

THandOverResult TInterception::Report(TInterceptedFault& fault) {
  if (tReporting) return THandOverResult::ignored;
  tReporting = true;
  reserve_.Release();
  THandOverResult result = THandOverResult::notQueued;
  kelvane::TWinHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (event) {
    THandlingRequest request;
    request.completionEvent = kelvane::FromHandle(event.Get());
    request.threadId = fault.threadId;
    request.exceptObject = reinterpret_cast<std::uintptr_t>(&fault.raised);
    request.exceptAddr = fault.address;
    request.canContinue = fault.canContinue;
    request.context = fault.context;
    if (fault.record)
      std::memcpy(request.exceptionRecord.data(), fault.record, std::min(sizeof *fault.record, kExceptionRecordSize));
    request.source = fault.source;
    SetRequestPointers(request, fault.context);
    result = handling_.Report(request, IsAbortException(fault.raised.classChain));
  }
  reserve_.Allocate();
  tReporting = false;
  return result;
}

std::unique_ptr<IEnabledServices> StartInterception(TReporterStartup& startup) {
  return std::make_unique<TInterception>(startup);
}

}  // namespace ruvex
