#include "reporter/core/threads/ReportCompletion.h"

#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "reporter/core/report/ReportText.h"
#include "reporter/core/threads/FakeThreadAccess.h"
#include "reporter/core/threads/ThreadSections.h"
#include "reporter/engines/trace/support/TraceDemo.h"
#include "reporter/ui/RecordingProgressAlert.h"

namespace ruvex {
namespace {

using namespace ruvex::testing;

constexpr Address kFault = kDemoBase + 0x102D;  // mov eax,[0] in B

// A crash in B of the demo image on thread 7, a main thread 1 on the same
// stack memory, and a worker 8 whose stack cannot be read.
class CompletionTest : public ::testing::Test {
 protected:
  CompletionTest() : tracer(host) {
    AddDemo(host);
    SetStack(host, fault.stack);
    context.ax = 1;
    context.ip = kFault;
    context.sp = fault.esp;
    context.bp = fault.ebp;
    TThreadState state;
    state.stackBottom = fault.esp;
    state.stackTop = kStackTop;
    state.context = context;
    threads.mainThread = 1;
    threads.Add(1, {state, u"main thread"});
    threads.Add(7, {state, u"Crashing"});
    TThreadState unreadable;
    unreadable.stackBottom = 0x900000;
    unreadable.stackTop = 0x901000;
    threads.Add(8, {unreadable, u"Worker", kDemoBase + 0x1063, 7});

    header.SetContent(kCallstackCrcField, kCallstackCrcPending);
    TThreadPlanFacts facts;
    facts.crashedThreadId = 7;
    facts.mainThreadId = 1;
    facts.exceptAddr = kFault;
    facts.context = context;
    facts.classChain = {u"EAccessViolation", u"EExternal"};
    facts.allThreads = threads.order;
    PrepareThreadSections(threads, host, PlanThreads(facts), {}, sections, stacks);
    for (const char16_t* name : {u"plain", u"failing", u"cpu registers", u"stack dump", u"disassembling"})
      sections.SetContent(name, kSectionPending);

    job.header = &header;
    job.sections = &sections;
    job.threads = &stacks;
    job.tracer = &tracer;
    job.registers = context;
    job.plugins = {{u"plain", [] { return std::u16string(u"plug-in text"); }},
                   {u"failing", []() -> std::u16string { throw std::runtime_error("broken"); }}};
    job.describeCreator = [this](std::uint32_t id) { return threads.Describe(id, true).text; };
  }

  std::string Report() const { return kelvane::Utf16ToUtf8(RenderBugReport(header.Items(), sections.Items())); }

  TFakeTraceHost host;
  TStackTracer tracer;
  TDemoFault fault;
  TThreadContext context;
  TFakeThreadAccess threads;
  TIREFields header, sections;
  std::vector<TThreadStack> stacks;
  TCompletionJob job;
};

TEST_F(CompletionTest, FillsEverySectionAndTheChecksums) {
  ASSERT_TRUE(CompleteBugReport(job));
  const std::string report = Report();
  EXPECT_EQ(report.find("will be calculated soon"), std::string::npos) << report;
  const std::u16string crc = header.GetContent(kCallstackCrcField);
  EXPECT_EQ(crc.size(), 31u) << kelvane::Utf16ToUtf8(crc);

  const std::u16string crashed = sections.GetContentAt(sections.FindItem(u"Crashing ($7):"));
  const std::size_t inB = crashed.find(u" B"), inA = crashed.find(u" A"), inMain = crashed.find(u" Main");
  EXPECT_TRUE(inB < inA && inA < inMain && inMain != std::u16string::npos) << report;
  EXPECT_NE(crashed.find(u"1000102d"), std::u16string::npos) << report;

  EXPECT_EQ(sections.GetContent(u"Worker ($8):"), kStackNotAccessible);
  EXPECT_EQ(sections.GetContent(u"plain"), u"plug-in text");
  EXPECT_EQ(sections.GetContent(u"failing"), u">> internal error in plugin");
  EXPECT_EQ(sections.GetContent(u"cpu registers").substr(0, 14), u"eax = 00000001");
  EXPECT_EQ(sections.GetContent(u"stack dump").substr(0, 16), u"00100fe8  f0 0f ");
  const std::u16string listing = sections.GetContent(u"disassembling");
  EXPECT_NE(listing.find(u"1000102d > mov"), std::u16string::npos) << report;
}

TEST_F(CompletionTest, OneProgressAreaPerTracedThreadWeightedByItsStack) {
  TRecordingProgressAlert progress;
  std::vector<TThreadStack> again;
  TIREFields otherSections;
  TThreadPlanFacts facts;
  facts.crashedThreadId = 7;
  facts.mainThreadId = 1;
  facts.allThreads = threads.order;
  TSectionTextOptions options;
  options.progress = &progress;
  options.progressCaption = u"Please wait...";
  PrepareThreadSections(threads, host, PlanThreads(facts), options, otherSections, again);
  ASSERT_EQ(progress.areas.size(), 3u);
  EXPECT_EQ(progress.areas[0], (TRecordedArea{u"Please wait...", 100 * (kStackTop - fault.esp)}));
  EXPECT_EQ(progress.areas[2].weight, 100u * 0x1000);
  TCompletionJob traced = job;
  traced.sections = &otherSections;
  traced.threads = &again;
  traced.progress = &progress;
  ASSERT_TRUE(CompleteBugReport(traced));
  EXPECT_EQ(progress.current, 3) << "each trace marks its area done";
}

TEST_F(CompletionTest, ChecksumsFollowTheStacks) {
  ASSERT_TRUE(CompleteBugReport(job));
  const std::u16string first = header.GetContent(kCallstackCrcField);
  // The same stacks give the same checksums; the main thread's stack is
  // part of the third one only.
  std::vector<TThreadStack> again;
  TIREFields otherSections;
  TThreadPlanFacts facts;
  facts.crashedThreadId = 7;
  facts.exceptAddr = kFault;
  facts.context = context;
  facts.listThreads = false;
  PrepareThreadSections(threads, host, PlanThreads(facts), {}, otherSections, again);
  TIREFields otherHeader;
  TCompletionJob alone = job;
  alone.header = &otherHeader;
  alone.sections = &otherSections;
  alone.threads = &again;
  alone.plugins.clear();
  ASSERT_TRUE(CompleteBugReport(alone));
  const std::u16string second = otherHeader.GetContent(kCallstackCrcField);
  EXPECT_EQ(first.substr(0, 21), second.substr(0, 21));
  EXPECT_NE(first.substr(21), second.substr(21));
  EXPECT_EQ(second.substr(11, 9), second.substr(22, 9)) << "without other threads the third equals the second";
}

TEST_F(CompletionTest, WithoutListThreadsOnlyTheCrashedThreadStays) {
  job.options.listThreads = false;
  ASSERT_TRUE(CompleteBugReport(job));
  EXPECT_EQ(stacks.size(), 1u);
  EXPECT_EQ(sections.FindItem(u"main thread ($1):"), -1);
  EXPECT_EQ(Report().find("will be calculated soon"), std::string::npos);
}

TEST_F(CompletionTest, AbortLeavesThePlaceholders) {
  std::atomic<bool> abort{true};
  job.abort = &abort;
  EXPECT_FALSE(CompleteBugReport(job));
  EXPECT_EQ(header.GetContent(kCallstackCrcField), kCallstackCrcPending);
  EXPECT_EQ(sections.GetContent(u"plain"), kSectionPending);
}

TEST(ReplaceSection, RenamesOnlyWithContent) {
  TIREFields sections;
  sections.SetContent(u"old", u"x");
  const std::u16string renamed = u"new";
  ReplaceSection(sections, u"missing", &renamed, u"y", nullptr);
  EXPECT_EQ(sections.GetItemCount(), 1);
  ReplaceSection(sections, u"old", &renamed, u"z", nullptr);
  EXPECT_EQ(sections.GetContent(u"new"), u"z");
}

}  // namespace
}  // namespace ruvex
