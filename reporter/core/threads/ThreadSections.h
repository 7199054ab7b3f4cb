#pragma once
// The start of a report's thread sections: which threads are listed, in
// which order, under which title, and the placeholders that completion
// replaces.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reporter/core/fields/Fields.h"
#include "reporter/core/threads/ThreadAccess.h"
#include "reporter/core/threads/ThreadStack.h"
#include "reporter/engines/trace/support/TraceHost.h"

namespace ruvex {

inline constexpr char16_t kStackPending[] = u">> stack will be calculated soon";
inline constexpr char16_t kStackNotAccessible[] = u">> stack not accessible";

struct TInnerException {
  std::vector<std::u16string> classChain;  // the class first, then its ancestors
  std::u16string message;
  std::optional<TThreadContext> context;
  Address address = 0;
};

// What the report knows of its exception when it starts.
struct TThreadPlanFacts {
  bool frozen = false;
  std::uint32_t crashedThreadId = 0;  // 0: a trace of the process without an exception
  std::uint32_t mainThreadId = 0;
  std::vector<std::u16string> classChain;
  std::optional<TThreadContext> context;
  std::string preparedStack;
  Address exceptAddr = 0;
  Address recordedStackPointer = 0, recordedFramePointer = 0;  // when the report was started
  std::vector<TInnerException> inner;  // the first inner exception first
  bool listThreads = true;
  std::vector<std::uint32_t> allThreads;       // in the thread list's order
  std::vector<std::uint32_t> reporterThreads;  // freeze detector, handling thread
  bool wholeProcessTrace = false;              // then those two are listed too
};

// One thread section to prepare.
struct TThreadRequest {
  std::uint32_t threadId = 0;
  bool extException = false, tovTermination = false;
  std::u16string innerMessage, innerClass;
  std::uint32_t innerLevel = 0;
  std::optional<TThreadContext> context;
  std::string preparedStack;
  Address exceptAddr = 0;
  bool forceTitle = false;
  bool exceptThread = false;
  Address recordedStackPointer = 0, recordedFramePointer = 0;
};

// A class chain naming "EExternal" (or deriving from it) is raised by the
// processor or the system; "TovTermination" is a C++ runtime termination.
bool IsExternalException(const std::vector<std::u16string>& classChain);
bool IsTermination(const std::vector<std::u16string>& classChain);

// The crashing thread, once per inner exception, the main thread, then the
// others when ListThreads is on; a freeze report lists the main thread only.
std::vector<TThreadRequest> PlanThreads(const TThreadPlanFacts& facts);

class IProgressAlert;

struct TSectionTextOptions {
  bool showRelativeAddrs = true, showRelativeLines = true;
  // One area per entry, weighted by its stack's size (PleaseWaitText).
  IProgressAlert* progress = nullptr;
  std::u16string progressCaption;
};

// Appends one section per listed thread with its placeholder and one
// TThreadStack per thread whose state could be read. Threads the registry
// describes as the reporter's own are left out unless forced (the crashing
// thread always is).
void PrepareThreadSections(IThreadAccess& threads, ITraceHost& host, const std::vector<TThreadRequest>& requests,
                           const TSectionTextOptions& options, IREFields& sections,
                           std::vector<TThreadStack>& stacks);

}  // namespace ruvex
