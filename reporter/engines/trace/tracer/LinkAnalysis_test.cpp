// The link phases over hand-made candidate lists: bounds and scores that
// hostile or very deep stacks reach.
#include <gtest/gtest.h>

#include "reporter/engines/trace/support/TraceDemo.h"
#include "reporter/engines/trace/tracer/TraceState.h"

namespace ruvex {
namespace {

using namespace ruvex::testing;

struct TLinkFixture : ::testing::Test {
  TFakeTraceHost host;
  TX86CodeModel32 model;
  TTraceCaches caches;
  TTraceRequest request;
  std::unique_ptr<TReadableSnapshot> snapshot;
  std::unique_ptr<TTraceState> s;

  void Begin() {
    snapshot = std::make_unique<TReadableSnapshot>(host.Memory(), host.CommittedRegions());
    caches.BeginTrace(host, model, *snapshot);
    s = std::make_unique<TTraceState>(host, model, caches, request, *snapshot);
  }
  void Link(int from, int to, int func) {
    AddLink(*s, from, kCallees, TStackLink{to, 1, false, 0, func, 0});
    AddLink(*s, to, kCallers, TStackLink{from, 1, false, 0, func, 0});
  }
};

TEST_F(TLinkFixture, LongChainScoresSaturateAndTheChainWins) {
  // Thousands of links, each worth 2^51 (a known, approved function in a
  // module with lines): the sum passes 2^63. The chain from A through all
  // of them must still beat A's direct link to B.
  AddDemo(host);
  Begin();
  const int module = caches.RegisterModule(kDemoBase);
  ASSERT_GE(module, 0);
  const int f = caches.AddFunction(kDemoBase + 0x1010, u"A", true);
  ASSERT_GE(f, 0);
  const int n = 20000;
  s->items.resize(n);
  for (TInternalStackItem& item : s->items) {
    item.Module = module;
    item.AfterInstr = kDemoBase + 0x1018;  // has a line
  }
  s->items.front().DontKill = true;
  s->items.back().DontKill = s->items.back().TopItem = true;
  for (int i = 0; i + 1 < n; ++i) Link(i, i + 1, f);
  Link(0, n - 1, f);
  RealizeOptimalLinkChains(*s);
  int valid = 0;
  for (const TInternalStackItem& item : s->items) valid += !item.Invalid;
  EXPECT_EQ(valid, n);
}

TEST_F(TLinkFixture, CallToAnUnknownPlaceLinksToABoundedNumberOfCandidates) {
  Begin();
  s->items.resize(2000);
  for (int i = 0; i < s->Count(); ++i) s->items[i].AfterInstr = 0x7000000 + 16 * i;
  s->items[0].Links[kCallers].Links.push_back(TStackLink{-1, 0x6FFFFF0, false, 0, -1, 0});
  InDeepChecks(*s);
  EXPECT_EQ(s->items[0].Links[kCallees].Links.size(), std::size_t(TTraceState::kUnknownTargetLookAhead));
}

TEST_F(TLinkFixture, RepeatedRunsRemovedButNeverTheTopItem) {
  Begin();
  const Address a = 0x401005, b = 0x402005, c = 0x403005;
  // outermost ... innermost: c a b a b a b, the last "b" is the top item
  for (Address v : {c, a, b, a, b, a, b}) {
    TInternalStackItem item;
    item.AfterInstr = v;
    s->items.push_back(item);
  }
  s->items.back().TopItem = s->items.back().DontKill = true;
  RemoveRecursiveStackAreas(*s);
  std::vector<Address> left;
  for (const TInternalStackItem& item : s->items)
    if (!item.Invalid) left.push_back(item.AfterInstr);
  // The top's run stays; of the copies before it only the outermost.
  EXPECT_EQ(left, (std::vector<Address>{c, a, b, a, b}));
}

TEST_F(TLinkFixture, RejectionOfAFunctionLastsOneTrace) {
  AddDemo(host);
  Begin();
  const int f = caches.AddFunction(kDemoBase + 0x1020, u"B", true);
  ASSERT_GE(f, 0);
  caches.Function(f).invalid = true;
  Begin();
  EXPECT_FALSE(caches.Function(caches.FindFunction(kDemoBase + 0x1020)).invalid);
}

TEST_F(TLinkFixture, ApprovalReachesWhatAFunctionJumpsTo) {
  // Three pieces of generated code, each jumping on to the next.
  const Address pieces[] = {0x00500000, 0x00600000, 0x00700000};
  for (int i = 0; i < 3; ++i) {
    std::vector<std::uint8_t> code(0x10, 0xC3);
    if (i < 2) {
      code[0] = 0xE9;
      Put32(code, 1, static_cast<std::uint32_t>(pieces[i + 1] - (pieces[i] + 5)));
    }
    host.process.buffers.emplace_back(pieces[i], code, true);
  }
  Begin();
  const int first = caches.AddFunction(pieces[0], {}, false);
  ASSERT_GE(first, 0);
  for (Address p : pieces) {
    ASSERT_GE(caches.FindFunction(p), 0);
    EXPECT_FALSE(caches.Function(caches.FindFunction(p)).approved);
  }
  EXPECT_EQ(caches.AddFunction(pieces[0], {}, true), first);
  for (Address p : pieces) EXPECT_TRUE(caches.Function(caches.FindFunction(p)).approved) << p;
}

}  // namespace
}  // namespace ruvex
