#include "reporter/core/threads/ReportCompletion.h"

#include <exception>

#include "reporter/core/report/ReportFormat.h"
#include "reporter/archive/Crc32.h"
#include "reporter/core/threads/CleartextDisAsm.h"
#include "reporter/core/threads/CpuRegisters.h"
#include "reporter/core/threads/StackDump.h"
#include "reporter/core/threads/ThreadReport.h"
#include "reporter/core/threads/ThreadSections.h"

namespace ruvex {
namespace {

bool Aborted(const std::atomic<bool>* abort) { return abort && abort->load(); }

std::u16string Guarded(const char16_t* builder, const std::function<std::u16string()>& build) {
  try {
    return build();
  } catch (const std::exception&) {
    return std::u16string(kInternalError) + builder;
  }
}

// Entry 0 and the inner-exception entries behind it show the crashed thread.
std::size_t LeadingEntries(const std::vector<TThreadStack>& threads) {
  std::size_t n = threads.empty() ? 0 : 1;
  while (n < threads.size() && threads[n].tid == threads[0].tid && threads[n].innerExceptNo > 0) ++n;
  return n;
}

class TCompletion {
 public:
  explicit TCompletion(TCompletionJob& job) : job_(job), threads_(*job.threads) {}

  bool Run() {
    if (!job_.options.listThreads) DropOtherThreads();
    if (Aborted(job_.abort)) return false;
    std::uint32_t top = 0, stack = 0;
    if (!threads_.empty()) {
      const TThreadReport crashed = ThreadText(0);
      top = crashed.topChecksum;
      stack = crashed.stackChecksum;
      lead_ = crashed;
    }
    std::uint32_t others = stack;
    if (Aborted(job_.abort)) return false;
    RegistersAndDump();
    if (job_.innerExceptionCount == 0) Disassembly(lead_);
    for (const TPluginSection& plugin : job_.plugins) {
      if (Aborted(job_.abort)) return false;
      Replace(plugin.name, Guarded(u"plugin", plugin.text));
    }
    for (std::size_t i = 1; i < threads_.size(); ++i) {
      if (Aborted(job_.abort)) return false;
      const TThreadReport report = ThreadText(i);
      if (threads_[i].tid != threads_[0].tid) others = ExtendThreadsChecksum(others, report.stackChecksum);
      if (job_.innerExceptionCount && threads_[i].innerExceptNo == job_.innerExceptionCount) Disassembly(report);
    }
    if (Aborted(job_.abort)) return false;
    IREFields& header = *job_.header;
    header.Lock();
    header.SetContent(kCallstackCrcField, CallstackCrcText(top, stack, others));
    for (const std::u16string& info : minDebugInfos_) {
      const std::size_t bar = info.find(u'|');
      if (bar != std::u16string::npos) header.SetContent(info.substr(0, bar) + u".ruvex", info.substr(bar + 1));
    }
    header.Unlock();
    return true;
  }

 private:
  // Without ListThreads only the crashed thread stays; the sections of the
  // dropped entries go too, so that no placeholder outlives the completion.
  void DropOtherThreads() {
    const std::size_t keep = job_.frozen ? threads_.size() : LeadingEntries(threads_);
    for (std::size_t i = keep; i < threads_.size(); ++i) job_.sections->Delete(threads_[i].threadName);
    threads_.resize(keep);
  }

  TThreadReport ThreadText(std::size_t index) {
    TThreadReportOptions options;
    options.hideUglyItems = job_.options.hideUglyItems;
    options.showRelativeAddrs = job_.options.showRelativeAddrs;
    options.showRelativeLines = job_.options.showRelativeLines;
    options.abort = job_.abort;
    options.describeCreator = job_.describeCreator;
    options.progress = job_.progress;
    TThreadReport report = GetThreadReport(*job_.tracer, threads_[index], index == 0 && !job_.frozen, options);
    minDebugInfos_.insert(minDebugInfos_.end(), report.minDebugInfos.begin(), report.minDebugInfos.end());
    // An unreadable stack keeps its section, saying so.
    Replace(threads_[index].threadName, report.text.empty() ? std::u16string(kStackNotAccessible) : report.text);
    return report;
  }

  void RegistersAndDump() {
    if (!job_.registers) return;
    const TThreadContext context = *job_.registers;
    Replace(u"cpu registers", Guarded(u"GetCpuRegisters", [&] { return GetCpuRegisters(context); }));
    Replace(u"stack dump", Guarded(u"GetStackDump", [&] {
              return GetStackDump(job_.tracer->Host().Memory(), context.sp, context.pointerSize);
            }));
  }

  void Disassembly(const TThreadReport& report) {
    if (!job_.options.showDisAsm) return;
    Replace(u"disassembling", Guarded(u"GetCleartextDisAsm", [&] {
              TDisAsmRequest r;
              r.function = report.exceptionFunction;
              r.address = report.exceptionFunctionAddr;
              r.pointerSize = job_.tracer->Host().PointerSize();
              r.format = job_.options.formatDisAsm;
              r.limit = job_.options.limitDisAsm;
              r.names = job_.names;
              r.parse = job_.parse;
              return GetCleartextDisAsm(job_.tracer->Host().Memory(), r);
            }));
  }

  void Replace(const std::u16string& title, const std::u16string& content) {
    ReplaceSection(*job_.sections, title, nullptr, content, job_.abort);
  }

  TCompletionJob& job_;
  std::vector<TThreadStack>& threads_;
  TThreadReport lead_;
  std::vector<std::u16string> minDebugInfos_;
};

}  // namespace

TReportOptions ReportOptionsFrom(const IRESettings& s) {
  TReportOptions o;
  o.listThreads = s.GetListThreads();
  o.cpuRegisters = s.GetShowCpuRegisters();
  o.stackDump = s.GetShowStackDump();
  o.showDisAsm = s.GetShowDisAsm();
  o.hideUglyItems = s.GetHideUglyItems();
  o.showRelativeAddrs = s.GetShowRelativeAddrs();
  o.showRelativeLines = s.GetShowRelativeLines();
  o.formatDisAsm = s.GetFormatDisassembly();
  const int limit = s.GetLimitDisassembly();
  o.limitDisAsm = limit > 0 ? static_cast<unsigned>(limit) : 0;
  return o;
}

std::uint32_t ExtendThreadsChecksum(std::uint32_t checksum, std::uint32_t threadStackChecksum) {
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(threadStackChecksum),
                                 static_cast<std::uint8_t>(threadStackChecksum >> 8),
                                 static_cast<std::uint8_t>(threadStackChecksum >> 16),
                                 static_cast<std::uint8_t>(threadStackChecksum >> 24)};
  return Crc32Update(checksum, bytes, sizeof bytes);
}

void ReplaceSection(IREFields& sections, const std::u16string& oldTitle, const std::u16string* newTitle,
                    const std::u16string& content, const std::atomic<bool>* abort) {
  if (Aborted(abort)) return;
  sections.Lock();
  const int index = sections.FindItem(oldTitle);
  if (index >= 0) {
    sections.SetContent(oldTitle, content);
    if (newTitle && !TrimBlanks(content).empty()) sections.SetItem(sections.FindItem(oldTitle), *newTitle);
  }
  sections.Unlock();
}

bool CompleteBugReport(TCompletionJob& job) {
  if (!job.header || !job.sections || !job.threads || !job.tracer) return false;
  return TCompletion(job).Run();
}

}  // namespace ruvex
