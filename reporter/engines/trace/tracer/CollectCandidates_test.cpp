// The collection of candidates alone, over the demo image's stack.
#include <gtest/gtest.h>

#include "reporter/engines/trace/support/TraceDemo.h"
#include "reporter/engines/trace/tracer/TraceState.h"

namespace ruvex {
namespace {

using namespace ruvex::testing;

struct TCollectFixture : ::testing::Test {
  TFakeTraceHost host;
  TX86CodeModel32 model;
  TTraceCaches caches;
  TTraceRequest request;

  void SetUp() override {
    AddDemo(host);
    request.isException = true;
    request.externalException = true;
  }
  std::vector<TInternalStackItem> Collect(const TDemoStack& stack) {
    SetStack(host, stack);
    const TReadableSnapshot snapshot(host.Memory(), host.CommittedRegions());
    caches.BeginTrace(host, model, snapshot);
    TTraceState s(host, model, caches, request, snapshot);
    s.bottom = kStackBase;
    s.top = kStackTop;
    s.current = request.currentAddress;
    CollectPossibleStackItems(s);
    return s.items;
  }
};

TEST_F(TCollectFixture, GeneratedCodeOutsideAnyImageIsKeptWithoutModule) {
  // A stub outside every image calls B; its return address is on the stack.
  const Address stub = 0x00500000;
  std::vector<std::uint8_t> code(0x100, 0x90);
  code[0x10] = 0xE8;
  Put32(code, 0x11, static_cast<std::uint32_t>(kDemoBase + 0x1020 - (stub + 0x15)));
  host.process.buffers.emplace_back(stub, code, true);
  // The same bytes in memory that cannot execute are data, not code.
  host.process.buffers.emplace_back(0x00600000, code, false);
  TDemoStack stack;
  stack.Push(static_cast<std::uint32_t>(stub + 0x15));
  stack.Push(0x00600015);
  request.currentAddress = kDemoBase + 0x102D;
  const auto items = Collect(stack);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].AfterInstr, stub + 0x15);
  EXPECT_EQ(items[0].Module, -1);
  EXPECT_FALSE(items[0].DontKill);
  EXPECT_TRUE(items[1].TopItem);
  EXPECT_EQ(items[1].AfterInstr, kDemoBase + 0x1033);  // after the faulting instruction
}

TEST_F(TCollectFixture, WhichStackValuesBecomeCandidates) {
  struct TCase {
    const char* what;
    std::uint32_t value;
    bool candidate;
  } cases[] = {
      {"return into A after its call", kDemoBase + 0x1018, true},
      {"no call ends there", kDemoBase + 0x1019, false},
      {"inside the call instruction", kDemoBase + 0x1016, false},
      {"in the image's data", kDemoBase + 0x2010, false},
      {"small number", 5, false},
      {"unmapped", 0x30000000, false},
      {"a stack address", kStackBase + 0x800, false},
  };
  request.currentAddress = kDemoBase + 0x102D;
  for (const TCase& c : cases) {
    TDemoStack stack;
    stack.Push(c.value);
    const auto items = Collect(stack);
    EXPECT_EQ(items.size(), c.candidate ? 2u : 1u) << c.what;
  }
}

TEST_F(TCollectFixture, FinallyReturnPointIsNoCaller) {
  TDemoStack stack;
  stack.Push(kDemoBase + 0x1018);
  request.currentAddress = kDemoBase + 0x102D;
  EXPECT_EQ(Collect(stack).size(), 2u);
  // Pretend the value is the return point of the runtime's finally routine.
  SetStack(host, stack);
  const TReadableSnapshot snapshot(host.Memory(), host.CommittedRegions());
  caches.BeginTrace(host, model, snapshot);
  TTraceState s(host, model, caches, request, snapshot);
  s.bottom = kStackBase;
  s.top = kStackTop;
  s.current = request.currentAddress;
  s.finallyReturnPoint = kDemoBase + 0x1018;
  CollectPossibleStackItems(s);
  EXPECT_EQ(s.items.size(), 1u);
}

TEST_F(TCollectFixture, ExceptionAddressOnTheStackEndsTheScan) {
  TDemoStack stack;
  stack.Push(kDemoBase + 0x1008);
  stack.Push(kDemoBase + 0x1018);  // the exception address itself, pushed by the dispatcher
  stack.Push(kDemoBase + 0x1028);  // below it: the handling's own frames
  request.currentAddress = kDemoBase + 0x1018;
  const auto items = Collect(stack);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_TRUE(items[1].TopItem);
  EXPECT_TRUE(items[1].DontKill);
}

}  // namespace
}  // namespace ruvex
