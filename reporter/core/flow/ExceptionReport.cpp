#include "reporter/core/flow/ExceptionReport.h"

#include "reporter/core/flow/CompletionPriority.h"

namespace ruvex {

void StartThreadReports(TIREException& exception, IThreadAccess& threads, ITraceHost& host,
                        const TThreadPlanFacts& facts, IProgressAlert* progress) {
  const IREException& settings = exception.Settings();
  const TSectionTextOptions text{settings.GetShowRelativeAddrs(), settings.GetShowRelativeLines(), progress,
                                 settings.GetPleaseWaitText()};
  PrepareThreadSections(threads, host, PlanThreads(facts), text, *exception.GetBugReportSections(),
                        exception.ThreadStacks());
}

bool CompleteBugReport(TIREException& exception, TCompletionJob job) {
  const std::shared_ptr<IREFields> header = exception.GetBugReportHeader();
  const std::shared_ptr<IREFields> sections = exception.GetBugReportSections();
  job.header = header.get();
  job.sections = sections.get();
  job.threads = &exception.ThreadStacks();
  job.abort = &exception.AbortRequested();
  if (!CompleteBugReport(job) || exception.AbortRequested()) return false;
  exception.MarkComplete();
  if (exception.GetPhase() == epPostProcessing) {
    bool handled = false;
    exception.FireHandlers(epCompleteReport, handled);
  }
  return true;
}

bool StartBugReportCompletion(TIREException& exception, TCompletionJob job) {
  return exception.StartCompletionThread([&exception, job = std::move(job)] {
    RaiseCompletionThreadPriority();
    CompleteBugReport(exception, job);
  });
}

}  // namespace ruvex
