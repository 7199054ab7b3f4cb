#include "reporter/core/threads/ThreadReport.h"

#include <exception>

#include "reporter/ui/ProgressAlert.h"

namespace ruvex {

std::u16string DecorateThreadReport(std::u16string text, const TThreadStack& entry, bool aborted,
                                    const std::u16string& creatorDescription) {
  if (entry.creatorAddr && !aborted && !text.empty() && text.front() != u'>') {
    const std::size_t lastBreak = text.rfind(u"\r\n");
    const std::size_t lastLine = lastBreak == std::u16string::npos ? 0 : lastBreak + 2;
    text.insert(lastLine, u">> created by " + creatorDescription + u" at:\r\n");
  }
  if (entry.innerExceptNo)
    text.insert(0, u">> " + entry.innerExceptClass + u", " + entry.innerExceptMessage + u"\r\n");
  return text;
}

TThreadReport GetThreadReport(TStackTracer& tracer, TThreadStack& entry, bool useContext,
                              const TThreadReportOptions& options) {
  TThreadReport result;
  try {
    Address stackBottom = entry.stackBottom, stackTop = entry.stackTop, framePointer = entry.ebp;
    if (useContext && entry.context) {
      framePointer = entry.context->bp;
      stackBottom = entry.context->sp;
      if (const auto region = tracer.Host().Memory().RegionAt(stackBottom)) stackTop = region->base + region->size;
    }
    TTraceRequest request;
    request.hideUglyItems = options.hideUglyItems;
    request.showRelativeAddrs = options.showRelativeAddrs;
    request.showRelativeLines = options.showRelativeLines;
    request.stackTrace = &entry.callstack;
    request.currentAddress = entry.exceptAddr;
    request.isException = entry.exceptThread;
    request.externalException = entry.extException;
    request.cxxTermination = entry.tovTermination;
    request.stackBottom = stackBottom;
    request.stackTop = stackTop;
    request.creatorAddress = entry.creatorAddr;
    request.framePointer = framePointer;
    request.preparedStack = entry.preparedStack.empty() ? nullptr : &entry.preparedStack;
    request.abort = options.abort;
    request.progress = options.progress;
    request.topChecksum = &result.topChecksum;
    request.stackChecksum = &result.stackChecksum;
    request.hasLines = &result.hasLines;
    request.exceptionFunction = &result.exceptionFunction;
    request.exceptionFunctionAddr = &result.exceptionFunctionAddr;
    request.exceptionAddress = &result.exceptionAddress;
    request.minDebugInfos = &result.minDebugInfos;
    // Threads other than the crashing one show only what their stacks hold.
    request.noCurrentAddress = !entry.exceptThread && entry.exceptAddr == 0;
    std::u16string text = tracer.TraceStack(request);
    if (options.progress) options.progress->AreaDone();
    const bool aborted = options.abort && options.abort->load();
    const std::u16string creator =
        entry.creatorAddr && options.describeCreator ? options.describeCreator(entry.creatorTid) : std::u16string();
    result.text = DecorateThreadReport(std::move(text), entry, aborted, creator);
  } catch (const std::exception&) {
    result.text = std::u16string(kInternalError) + u"GetThreadReport";
  }
  return result;
}

}  // namespace ruvex
