#include "reporter/core/threads/LiveReport_win.h"

#include <algorithm>

#include "reporter/core/report/HeaderSource_win.h"
#include "reporter/core/report/ReportText.h"
#include "reporter/core/threads/ThreadSections.h"
#include "reporter/engines/memory/ModuleListSnapshot.h"
#include "reporter/engines/memory/ProcessMemory.h"
#include "reporter/engines/trace/support/CodeNames.h"
#include "reporter/engines/trace/tracer/ProcessTrace.h"

namespace ruvex {
namespace {

TReportTime Now() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return TReportTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

}  // namespace

// The module list the disassembly's names ask, taken once per report.
struct TLiveBugReport::TNames {
  TProcessMemory memory;
  TModuleListSnapshot modules{memory};
};

TLiveBugReport::TLiveBugReport(TLiveReportSetup setup)
    : setup_(std::move(setup)), threads_(setup_.registry, setup_.mainThreadId) {}

TLiveBugReport::~TLiveBugReport() = default;

void TLiveBugReport::Start(const TLiveException* exception) {
  TWinHeaderSource source(setup_.startTick ? setup_.startTick : GetTickCount64(), setup_.module);
  THeaderFacts facts;
  facts.created = Now();
  facts.exceptionNumber = NextExceptionNumber();
  if (exception) {
    facts.exceptionClass = exception->classChain.empty() ? u"Unknown" : exception->classChain.front();
    facts.exceptionMessage = exception->message;
  }
  header_ = BuildReportHeader(source, facts);

  TThreadPlanFacts plan;
  plan.mainThreadId = threads_.MainThreadId();
  if (std::find(setup_.leftOut.begin(), setup_.leftOut.end(), plan.mainThreadId) != setup_.leftOut.end())
    plan.mainThreadId = 0;
  plan.listThreads = setup_.options.listThreads;
  plan.allThreads = threads_.ThreadIds();
  for (DWORD id : setup_.leftOut) std::erase(plan.allThreads, id);
  if (exception) {
    plan.crashedThreadId = exception->threadId;
    plan.classChain = exception->classChain;
    plan.context = ContextFromWin(exception->context);
    plan.exceptAddr = exception->address;
    registers_ = plan.context;
  }
  TSectionTextOptions text{setup_.options.showRelativeAddrs, setup_.options.showRelativeLines, setup_.progress,
                           setup_.progressCaption};
  PrepareThreadSections(threads_, ProcessStackTracer().Host(), PlanThreads(plan), text, sections_, stacks_);
  for (const TPluginSection& plugin : setup_.plugins) sections_.SetContent(plugin.name, kSectionPending);
  if (registers_ && setup_.options.cpuRegisters) sections_.SetContent(u"cpu registers", kSectionPending);
  if (registers_ && setup_.options.stackDump) sections_.SetContent(u"stack dump", kSectionPending);
  if (exception && setup_.options.showDisAsm) sections_.SetContent(u"disassembling", kSectionPending);
}

bool TLiveBugReport::Complete(const std::atomic<bool>* abort) {
  if (!header_) return false;
  TStackTracer& tracer = ProcessStackTracer();
  names_ = std::make_unique<TNames>();
  TCompletionJob job;
  job.header = header_.get();
  job.sections = &sections_;
  job.threads = &stacks_;
  job.tracer = &tracer;
  job.options = setup_.options;
  job.innerExceptionCount = innerCount_;
  job.registers = registers_;
  job.plugins = setup_.plugins;
  if (TSymbolCache* symbols = ProcessSymbolCache())
    job.names = ReportCodeNames(names_->memory, names_->modules, *symbols, tracer.Host().OwnModule());
  job.parse.modules = &names_->modules;
  job.describeCreator = [this](std::uint32_t id) { return threads_.Describe(id, true).text; };
  job.abort = abort;
  job.progress = setup_.progress;
  return CompleteBugReport(job);
}

std::u16string TLiveBugReport::Text() const {
  return header_ ? RenderBugReport(header_->Items(), sections_.Items()) : std::u16string();
}

std::u16string TraceProcessReport(const TThreadRegistry* registry) {
  TLiveReportSetup setup;
  setup.registry = registry;
  setup.leftOut = {GetCurrentThreadId()};
  TLiveBugReport report(std::move(setup));
  report.Start(nullptr);
  report.Complete();
  return report.Text();
}

}  // namespace ruvex
