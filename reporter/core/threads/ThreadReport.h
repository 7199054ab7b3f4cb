#pragma once
// The call-stack text of one listed thread: the trace of its recorded stack
// and what the report puts around it.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "reporter/core/threads/ThreadStack.h"
#include "reporter/engines/trace/tracer/StackTrace.h"

namespace ruvex {

class IProgressAlert;

struct TThreadReportOptions {
  bool hideUglyItems = false, showRelativeAddrs = true, showRelativeLines = true;
  const std::atomic<bool>* abort = nullptr;
  // The trace moves within the entry's area and marks it done.
  IProgressAlert* progress = nullptr;
  // The description of a creating thread, forced even for reporter threads.
  std::function<std::u16string(std::uint32_t)> describeCreator;
};

struct TThreadReport {
  std::u16string text;
  std::uint32_t topChecksum = 0, stackChecksum = 0;
  bool hasLines = false;
  Address exceptionFunction = 0, exceptionFunctionAddr = 0, exceptionAddress = 0;
  std::vector<std::u16string> minDebugInfos;  // "module|information"
};

// `useContext`: entry 0 of a report with an exception context, whose
// registers replace the queried ones.
TThreadReport GetThreadReport(TStackTracer& tracer, TThreadStack& entry, bool useContext,
                              const TThreadReportOptions& options);

// The decorations around a trace text: an inner exception's class and
// message in front, and the creating thread's line before the last line
// (the creator location, which the trace lists last).
std::u16string DecorateThreadReport(std::u16string text, const TThreadStack& entry, bool aborted,
                                    const std::u16string& creatorDescription);

}  // namespace ruvex
