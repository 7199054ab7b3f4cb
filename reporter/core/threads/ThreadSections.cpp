#include "reporter/core/threads/ThreadSections.h"

#include <algorithm>
#include <exception>

#include "common/text/Format.h"
#include "common/text/HexText.h"
#include "common/text/Windows1252.h"
#include "reporter/engines/trace/tracer/StackTrace.h"
#include "reporter/ui/ProgressAlert.h"

namespace ruvex {
namespace {

bool ChainNames(const std::vector<std::u16string>& chain, std::u16string_view name) {
  return std::any_of(chain.begin(), chain.end(),
                     [name](const std::u16string& cls) { return kelvane::EqualsIgnoreCase(cls, name); });
}

bool Contains(const std::vector<std::uint32_t>& ids, std::uint32_t id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

TThreadRequest Plain(std::uint32_t threadId) {
  TThreadRequest r;
  r.threadId = threadId;
  return r;
}

std::u16string ShownClass(const std::vector<std::u16string>& chain) {
  return chain.empty() ? u"Unknown" : chain.front();
}

std::u16string InnerHeadline(const TThreadRequest& r) {
  return u">> " + r.innerClass + u", " + r.innerMessage + u"\r\n";
}

std::u16string Title(const TThreadDescription& description, const TThreadRequest& r,
                     const std::optional<TThreadState>& state) {
  std::u16string title = description.text;
  if (r.innerLevel) title += u", inner exception level " + kelvane::DecimalText(r.innerLevel);
  title += u":";
  if (state) {
    if (state->suspended) title += u" <suspended>";
    if (state->priority != 0) title += u" <priority:" + kelvane::DecimalText(state->priority) + u">";
  }
  return title;
}

TThreadStack StackEntry(const TThreadRequest& r, const TThreadDescription& description, const TThreadState& state,
                        std::u16string title) {
  TThreadStack s;
  s.tid = r.threadId;
  s.threadName = std::move(title);
  s.exceptAddr = r.exceptAddr;
  s.exceptThread = r.exceptThread;
  s.extException = r.extException;
  s.stackBottom = state.stackBottom;
  s.stackTop = state.stackTop;
  s.creatorAddr = description.creatorAddress;
  s.creatorTid = description.creatorThreadId;
  s.ebp = state.context.bp;
  s.tovTermination = r.tovTermination;
  s.preparedStack = r.preparedStack;
  s.innerExceptNo = r.innerLevel;
  s.innerExceptClass = r.innerClass;
  s.innerExceptMessage = r.innerMessage;
  s.context = r.context;
  // The crashing thread's scan starts where the exception left its stack.
  if (r.context) {
    s.stackBottom = r.context->sp;
    s.ebp = r.context->bp;
  } else if (r.exceptThread && r.recordedStackPointer) {
    s.stackBottom = r.recordedStackPointer;
    s.ebp = r.recordedFramePointer;
  }
  return s;
}

void PrepareOne(IThreadAccess& threads, ITraceHost& host, const TThreadRequest& r,
                const TSectionTextOptions& options, IREFields& sections, std::vector<TThreadStack>& stacks) {
  const TThreadDescription description = threads.Describe(r.threadId, r.forceTitle);
  if (description.text.empty()) return;
  const std::optional<TThreadState> state = threads.QueryThreadState(r.threadId);
  std::u16string title = Title(description, r, state);
  const auto location = [&] { return AddressToText(host, r.exceptAddr, options.showRelativeAddrs, options.showRelativeLines); };
  if (!state) {
    std::u16string content = r.innerLevel ? InnerHeadline(r) : u"";
    content += kStackNotAccessible;
    if (r.exceptThread) content += u", exception location: \r\n" + location();
    sections.SetContent(title, content);
    return;
  }
  const std::u16string first = r.exceptAddr ? location() : u"";
  sections.SetContent(title, first + u"\r\n" + kStackPending);
  stacks.push_back(StackEntry(r, description, *state, std::move(title)));
  if (options.progress) {
    const TThreadStack& added = stacks.back();
    const Address size = added.stackTop > added.stackBottom ? added.stackTop - added.stackBottom : 0;
    options.progress->AddArea(options.progressCaption, 100 * size);
  }
}

}  // namespace

bool IsExternalException(const std::vector<std::u16string>& classChain) { return ChainNames(classChain, u"EExternal"); }
bool IsTermination(const std::vector<std::u16string>& classChain) { return ChainNames(classChain, u"TovTermination"); }

std::vector<TThreadRequest> PlanThreads(const TThreadPlanFacts& f) {
  std::vector<TThreadRequest> plan;
  if (f.frozen) {
    plan.push_back(Plain(f.mainThreadId));
    return plan;
  }
  if (f.crashedThreadId) {
    TThreadRequest crashed;
    crashed.threadId = f.crashedThreadId;
    crashed.extException = IsExternalException(f.classChain);
    crashed.tovTermination = IsTermination(f.classChain);
    crashed.context = f.context;
    crashed.preparedStack = f.preparedStack;
    crashed.exceptAddr = f.exceptAddr;
    crashed.exceptThread = true;
    // Listed even when it is one of the reporter's own threads.
    crashed.forceTitle = true;
    crashed.recordedStackPointer = f.recordedStackPointer;
    crashed.recordedFramePointer = f.recordedFramePointer;
    plan.push_back(crashed);
    std::uint32_t level = 0;
    for (const TInnerException& inner : f.inner) {
      TThreadRequest r;
      r.threadId = f.crashedThreadId;
      r.extException = IsExternalException(inner.classChain);
      r.tovTermination = IsTermination(inner.classChain);
      r.innerClass = ShownClass(inner.classChain);
      r.innerMessage = inner.message;
      r.innerLevel = ++level;
      r.context = inner.context;
      r.exceptAddr = inner.address;
      r.exceptThread = true;
      r.forceTitle = true;
      plan.push_back(r);
    }
  }
  if (f.mainThreadId && f.mainThreadId != f.crashedThreadId) plan.push_back(Plain(f.mainThreadId));
  if (!f.listThreads) return plan;
  for (std::uint32_t id : f.allThreads) {
    if (id == f.crashedThreadId || id == f.mainThreadId) continue;
    if (!f.wholeProcessTrace && Contains(f.reporterThreads, id)) continue;
    TThreadRequest other = Plain(id);
    other.forceTitle = f.wholeProcessTrace && Contains(f.reporterThreads, id);
    plan.push_back(other);
  }
  return plan;
}

void PrepareThreadSections(IThreadAccess& threads, ITraceHost& host, const std::vector<TThreadRequest>& requests,
                           const TSectionTextOptions& options, IREFields& sections,
                           std::vector<TThreadStack>& stacks) {
  for (const TThreadRequest& r : requests) {
    try {
      PrepareOne(threads, host, r, options, sections, stacks);
    } catch (const std::exception&) {
      // One failing thread never stops the others.
      sections.SetContent(u"thread $" + kelvane::HexLower16(r.threadId) + u":",
                          std::u16string(kInternalError) + u"GetThreadStack");
    }
  }
}

}  // namespace ruvex
