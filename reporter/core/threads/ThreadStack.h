#pragma once
// One listed thread of a bug report: what was recorded when the report was
// started, and the trace result that completion fills in.
#include <cstdint>
#include <optional>
#include <string>

#include "reporter/core/threads/ThreadContext.h"
#include "reporter/engines/trace/support/StackItem.h"

namespace ruvex {

struct TThreadStack {
  std::uint32_t tid = 0;
  std::u16string threadName;  // the section title
  Address exceptAddr = 0;     // the crashing thread's exception location, else 0
  bool exceptThread = false;
  bool extException = false;  // raised by the processor or the system
  Address stackBottom = 0, stackTop = 0;
  Address creatorAddr = 0;    // 0: unknown
  Address ebp = 0;            // frame pointer where the scan starts
  bool tovTermination = false;
  std::string preparedStack;
  TStackTrace callstack;
  std::uint32_t creatorTid = 0;
  std::uint32_t innerExceptNo = 0;  // 0: the current exception, N: the N-th inner one
  std::u16string innerExceptClass, innerExceptMessage;
  // The exception's registers for the crashing thread's entries.
  std::optional<TThreadContext> context;
};

}  // namespace ruvex
