#include "reporter/core/flow/ExceptionReport.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "reporter/core/flow/FakeFlowServices.h"
#include "reporter/core/properties/SettingsBlock.h"
#include "reporter/core/report/ReportText.h"
#include "reporter/core/settings/FakeSettingsHost.h"
#include "reporter/core/threads/FakeThreadAccess.h"
#include "reporter/engines/trace/support/TraceDemo.h"

namespace ruvex {
namespace {

using namespace ruvex::testing;

constexpr ModuleHandle kExe{0x400000};

// An exception of thread 7, faulting in B of the demo image, with a main
// thread 1 on the same stack.
class ExceptionReportTest : public ::testing::Test {
 protected:
  ExceptionReportTest() : tracer(host) {
    hostSettings.modules[kExe].path = u"C:\\Apps\\Kelvane.exe";
    hostSettings.modules[kExe].block = *WriteSettingsBlock({});
    env.SetMainSettings(RESettings(env, kExe));
    AddDemo(host);
    SetStack(host, fault.stack);
    TThreadState state;
    state.stackBottom = fault.esp;
    state.stackTop = kStackTop;
    state.context.ip = kDemoBase + 0x102D;
    state.context.sp = fault.esp;
    state.context.bp = fault.ebp;
    threads.mainThread = 1;
    threads.Add(1, {state, u"main thread"});
    threads.Add(7, {state, u"Crashing"});
    facts.crashedThreadId = 7;
    facts.mainThreadId = 1;
    facts.exceptAddr = state.context.ip;
    facts.context = state.context;
    facts.allThreads = threads.order;
    job.tracer = &tracer;
    job.registers = state.context;
  }
  std::shared_ptr<TIREException> Started() {
    auto e = std::make_shared<TIREException>(env, env.MainSettings(), TExceptionData{}, fake.services);
    e->GetBugReportHeader()->SetContent(u"callstack crc", kCallstackCrcPending);
    StartThreadReports(*e, threads, host, facts);
    e->GetBugReportSections()->SetContent(u"cpu registers", kSectionPending);
    return e;
  }

  TFakeSettingsHost hostSettings;
  TLocalSettingsAnchor anchor;
  TSettingsEnvironment env{hostSettings, anchor};
  TFakeFlow fake;
  TFakeTraceHost host;
  TStackTracer tracer;
  TDemoFault fault;
  TFakeThreadAccess threads;
  TThreadPlanFacts facts;
  TCompletionJob job;
};

TEST_F(ExceptionReportTest, CompletionThreadFillsTheReportAndTellsTheCallbacksWithoutLocks) {
  auto e = Started();
  EXPECT_EQ(e->ThreadStacks().size(), 2u);
  EXPECT_NE(e->GetBugReport(false, 0).find(u">> stack will be calculated soon"), std::u16string::npos);
  e->SetPhase(epPostProcessing);
  std::mutex seenLock;
  std::vector<bool> completeCalls;
  std::u16string lastReport;
  const int key = 0;
  e->RegisterBugReportCallback(&key, [&](bool complete, const std::u16string& report, IREException& self) {
    // Reading the exception from the callback needs no lock it could hold.
    const bool selfComplete = static_cast<TIREException&>(self).IsComplete();
    std::lock_guard<std::mutex> hold(seenLock);
    completeCalls.push_back(complete && selfComplete);
    lastReport = report;
  }, false);
  ASSERT_TRUE(StartBugReportCompletion(*e, job));
  EXPECT_FALSE(StartBugReportCompletion(*e, job)) << "one completion per exception";
  ASSERT_TRUE(e->WaitComplete(10000));
  const std::u16string report = e->GetBugReport(true, 0);
  EXPECT_EQ(report.find(u"will be calculated soon"), std::u16string::npos);
  EXPECT_EQ(e->GetBugReportHeader()->GetContent(u"callstack crc").size(), 31u);
  {
    std::lock_guard<std::mutex> hold(seenLock);
    ASSERT_FALSE(completeCalls.empty());
    EXPECT_TRUE(completeCalls.back());
    EXPECT_EQ(lastReport, report);
  }
  e.reset();  // joins the completion thread, which fires the handlers last
  ASSERT_FALSE(fake.firing.fired.empty());
  EXPECT_EQ(fake.firing.fired.back().phase, epCompleteReport);
}

TEST_F(ExceptionReportTest, GoingAwayAbortsTheCompletion) {
  for (int i = 0; i < 20; ++i) {
    auto e = Started();
    ASSERT_TRUE(StartBugReportCompletion(*e, job));
    e.reset();  // joins the completion thread, which stops at its next step
  }
}

TEST_F(ExceptionReportTest, RenderingThatOverlapsAChangeIsNotCached) {
  auto e = Started();
  const auto header = std::static_pointer_cast<TIREFields>(e->GetBugReportHeader());
  const auto sections = std::static_pointer_cast<TIREFields>(e->GetBugReportSections());
  // The reader renders the header, then waits for the sections this thread
  // holds; meanwhile the header changes.
  sections->Lock();
  std::u16string overlapping;
  std::thread reader([&] { overlapping = e->GetBugReport(false, 0); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  header->SetContent(u"changed", u"while rendering");
  sections->Unlock();
  reader.join();
  EXPECT_EQ(overlapping.find(u"while rendering"), std::u16string::npos) << "the reader read the header before";
  EXPECT_NE(e->GetBugReport(false, 0).find(u"while rendering"), std::u16string::npos);
}

}  // namespace
}  // namespace ruvex
