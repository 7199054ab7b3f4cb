#pragma once
// The thread sections of an exception's bug report and their completion:
// what the report actions of the handling thread call.
#include "reporter/core/flow/Exception.h"
#include "reporter/core/threads/ReportCompletion.h"
#include "reporter/core/threads/ThreadSections.h"

namespace ruvex {

// Records the threads to list (their stack ranges, registers and exception
// data) into the exception's TThreadStack array and puts a placeholder
// section for each into its report.
// With `progress`, one area per entry, captioned with PleaseWaitText.
void StartThreadReports(TIREException& exception, IThreadAccess& threads, ITraceHost& host,
                        const TThreadPlanFacts& facts, IProgressAlert* progress = nullptr);

// Fills the sections on the calling thread. Unless the exception was
// aborted meanwhile, marks the report complete (which tells the callbacks)
// and, when the exception is in its post-processing phase, moves it on to
// epCompleteReport and fires that phase's handlers. The job's lists,
// threads and abort flag are the exception's.
bool CompleteBugReport(TIREException& exception, TCompletionJob job);

// The same on the exception's completion thread; false when one runs already.
bool StartBugReportCompletion(TIREException& exception, TCompletionJob job);

}  // namespace ruvex
