#include "reporter/core/threads/ThreadSections.h"

#include <gtest/gtest.h>

#include "reporter/core/threads/FakeThreadAccess.h"
#include "reporter/engines/trace/support/TraceFakes.h"

namespace ruvex {
namespace {

std::vector<std::uint32_t> Ids(const std::vector<TThreadRequest>& plan) {
  std::vector<std::uint32_t> ids;
  for (const auto& r : plan) ids.push_back(r.threadId);
  return ids;
}

TEST(PlanThreads, OrderOfTheListedThreads) {
  TThreadPlanFacts base;
  base.crashedThreadId = 7;
  base.mainThreadId = 1;
  base.allThreads = {1, 5, 7, 9, 11};
  base.reporterThreads = {9};
  base.inner = {{{u"EInner"}, u"first", std::nullopt, 0}, {{u"EExternal"}, u"second", std::nullopt, 0}};
  struct TCase {
    const char* what;
    void (*change)(TThreadPlanFacts&);
    std::vector<std::uint32_t> expected;
  } cases[] = {
      {"crash, inner exceptions, main, others", [](TThreadPlanFacts&) {}, {7, 7, 7, 1, 5, 11}},
      {"crash in the main thread", [](TThreadPlanFacts& f) { f.crashedThreadId = 1; f.inner.clear(); }, {1, 5, 7, 11}},
      {"without ListThreads", [](TThreadPlanFacts& f) { f.listThreads = false; }, {7, 7, 7, 1}},
      {"freeze: the main thread only", [](TThreadPlanFacts& f) { f.frozen = true; }, {1}},
      {"whole-process trace lists the reporter's threads", [](TThreadPlanFacts& f) { f.wholeProcessTrace = true; },
       {7, 7, 7, 1, 5, 9, 11}},
      {"no exception: main, then the others", [](TThreadPlanFacts& f) { f.crashedThreadId = 0; },
       {1, 5, 7, 11}},
  };
  for (const auto& c : cases) {
    TThreadPlanFacts facts = base;
    c.change(facts);
    EXPECT_EQ(Ids(PlanThreads(facts)), c.expected) << c.what;
  }
  const auto plan = PlanThreads(base);
  EXPECT_TRUE(plan[0].exceptThread);
  EXPECT_TRUE(plan[0].forceTitle) << "a fault in a reporter thread is listed too";
  EXPECT_FALSE(plan[3].forceTitle);
  EXPECT_EQ(plan[1].innerLevel, 1u);
  EXPECT_EQ(plan[1].innerClass, u"EInner");
  EXPECT_FALSE(plan[1].extException);
  EXPECT_TRUE(plan[2].extException);
  EXPECT_FALSE(plan[3].exceptThread);
}

TEST(PlanThreads, ExternalAndTerminationClassesByAncestry) {
  EXPECT_TRUE(IsExternalException({u"EAccessViolation", u"EExternal", u"Exception"}));
  EXPECT_FALSE(IsExternalException({u"EExternalThing", u"Exception"}));
  EXPECT_TRUE(IsTermination({u"EMyTermination", u"tovtermination"}));
}

class ThreadSectionsTest : public ::testing::Test {
 protected:
  ThreadSectionsTest() {
    host.process.buffers.emplace_back(0x100000, std::vector<std::uint8_t>(0x1000), false);
    TThreadState state;
    state.stackBottom = 0x100F00;
    state.stackTop = 0x101000;
    state.context.sp = 0x100F00;
    state.context.bp = 0x100F40;
    threads.mainThread = 1;
    threads.Add(1, {state, u"main thread"});
    TThreadState busy = state;
    busy.suspended = true;
    busy.priority = 2;
    threads.Add(5, {busy, u"", 0x401234, 1});
    threads.Add(6, {std::nullopt, u"Worker"});
    threads.Add(9, {state, u"-"});
  }
  std::vector<TThreadStack> Prepare(const std::vector<TThreadRequest>& plan) {
    std::vector<TThreadStack> stacks;
    TSectionTextOptions options;
    options.showRelativeAddrs = options.showRelativeLines = false;
    PrepareThreadSections(threads, host, plan, options, sections, stacks);
    return stacks;
  }
  testing::TFakeTraceHost host;
  TFakeThreadAccess threads;
  TIREFields sections;
};

TEST_F(ThreadSectionsTest, TitlesPlaceholdersAndEntries) {
  TThreadPlanFacts facts;
  facts.crashedThreadId = 1;
  facts.mainThreadId = 1;
  facts.exceptAddr = 0x10001234;
  TThreadContext context;
  context.sp = 0x100F80;
  context.bp = 0x100F90;
  facts.context = context;
  facts.allThreads = threads.order;
  facts.reporterThreads = {};
  const auto stacks = Prepare(PlanThreads(facts));
  const auto items = sections.Items();
  ASSERT_EQ(items.size(), 3u) << "the reporter's own thread is left out";
  EXPECT_EQ(items[0].first, u"main thread ($1):");
  EXPECT_EQ(items[0].second, u"10001234 ???\r\n>> stack will be calculated soon");
  EXPECT_EQ(items[1].first, u"thread $5: <suspended> <priority:2>");
  EXPECT_EQ(items[1].second, u">> stack will be calculated soon");
  EXPECT_EQ(items[2].first, u"Worker ($6):");
  EXPECT_EQ(items[2].second, u">> stack not accessible");
  ASSERT_EQ(stacks.size(), 2u) << "no entry for a thread that cannot be read";
  EXPECT_TRUE(stacks[0].exceptThread);
  EXPECT_EQ(stacks[0].stackBottom, 0x100F80u) << "the scan starts at the exception's stack pointer";
  EXPECT_EQ(stacks[0].ebp, 0x100F90u);
  EXPECT_EQ(stacks[0].stackTop, 0x101000u);
  EXPECT_EQ(stacks[1].stackBottom, 0x100F00u);
  EXPECT_EQ(stacks[1].creatorAddr, 0x401234u);
  EXPECT_EQ(stacks[1].creatorTid, 1u);
}

TEST_F(ThreadSectionsTest, InaccessibleCrashedThreadNamesTheLocationAndTheInnerException) {
  TThreadPlanFacts facts;
  facts.crashedThreadId = 6;
  facts.exceptAddr = 0x10001234;
  facts.inner = {{{u"EInner"}, u"went wrong", std::nullopt, 0x10005678}};
  facts.listThreads = false;
  Prepare(PlanThreads(facts));
  const auto items = sections.Items();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].second, u">> stack not accessible, exception location: \r\n10001234 ???");
  EXPECT_EQ(items[1].first, u"Worker ($6), inner exception level 1:");
  EXPECT_EQ(items[1].second, u">> EInner, went wrong\r\n>> stack not accessible, exception location: \r\n10005678 ???");
}

}  // namespace
}  // namespace ruvex
