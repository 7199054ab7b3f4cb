#pragma once
// The stack tracer: turns a raw thread stack into the listed call stack of
// a bug report. Every stack slot that could be a return address becomes a
// candidate; each candidate's call site is identified, callers are linked
// to callees, and the best-scored chain between the certain locations
// survives.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "reporter/engines/trace/support/CodeModel.h"
#include "reporter/engines/trace/support/StackItem.h"
#include "reporter/engines/trace/support/TraceCaches.h"
#include "reporter/engines/trace/support/TraceHost.h"

namespace ruvex {

class IProgressAlert;

// The inputs of one trace, in the order the reporter's callers know them.
// Pointers are optional outputs or inputs; null means not given.
struct TTraceRequest {
  bool hideUglyItems = false;
  bool showRelativeAddrs = false;
  bool showRelativeLines = false;
  TStackTrace* stackTrace = nullptr;     // cleared, then filled with the listed items
  Address currentAddress = 0;            // 0: the caller's own place (not for exception traces)
  bool isException = false;              // the thread in which the exception happened
  bool externalException = false;        // raised by the processor or the system
  Address stackBottom = 0;               // 0: the caller's stack pointer
  Address stackTop = 0;                  // 0: the caller's stack base
  Address creatorAddress = 0;            // where another thread created this one
  Address* exceptionAddress = nullptr;   // the innermost listed location
  Address* exceptionFunction = nullptr;  // start of the function of the first listed item with one
  Address* exceptionFunctionAddr = nullptr;  // the listed address within that function
  IProgressAlert* progress = nullptr;    // 0 ... 1000 over the trace
  Address framePointer = 0;
  bool cxxTermination = false;           // a termination of the C++ runtime
  const std::string* preparedStack = nullptr;  // from PrepareStack
  const std::atomic<bool>* abort = nullptr;
  std::uint32_t* topChecksum = nullptr;
  std::uint32_t* stackChecksum = nullptr;
  bool* hasLines = nullptr;
  std::vector<std::u16string>* minDebugInfos = nullptr;
  bool noCurrentAddress = false;
};

// The texts of a failed trace: the phase that failed, then for an exception
// trace where the exception happened.
inline constexpr char16_t kInternalError[] = u">> internal error in ";
inline constexpr char16_t kOriginalLocation[] = u">> original exception location: ";

class TStackTracer {
 public:
  // Unless another is given, the x86 model of the host's pointer width.
  explicit TStackTracer(ITraceHost& host);
  TStackTracer(ITraceHost& host, const ICodeModel& model);

  // The call-stack text, or an internal-error text; empty when the stack
  // range is unreadable or the trace was aborted before any output.
  // Traces run one at a time.
  std::u16string TraceStack(const TTraceRequest& request);

  ITraceHost& Host() { return host_; }

 private:
  std::u16string InternalError(const char16_t* phase, const TTraceRequest& request, Address current);

  ITraceHost& host_;
  const ICodeModel& model_;
  std::mutex lock_;      // held for a whole trace; it guards the caches
  TTraceCaches caches_;  // kept from trace to trace
};

// The x86 code model of a process with pointers of `pointerSize` bytes.
const ICodeModel& X86CodeModelFor(unsigned pointerSize);

// The address as the internal-error texts show it: hexadecimal digits
// (8 for 32-bit processes), then module, unit, line and public name.
std::u16string AddressToText(ITraceHost& host, Address address, bool showRelativeAddrs, bool showRelativeLines);

// The slots of the stack that could hold return addresses, found quickly at
// exception time for a trace later: a 32-bit count, then
// per entry a flag byte (1: frame-chain slot) and the pointer-sized value,
// little-endian.
// Defaults as for TraceStack; the scan stops at the slot holding
// `stopAddress` when `stop` is set. Any failure gives an empty string.
std::string PrepareStack(ITraceHost& host, Address framePointer, Address stackTop, Address stackBottom, bool stop,
                         Address stopAddress, const ICodeModel* model = nullptr);

}  // namespace ruvex
