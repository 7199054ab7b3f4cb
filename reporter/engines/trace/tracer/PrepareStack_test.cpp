#include <gtest/gtest.h>

#include "common/bytes/LittleEndian.h"
#include "reporter/engines/trace/tracer/StackTrace.h"
#include "reporter/engines/trace/support/TraceDemo.h"

namespace ruvex {
namespace {

using namespace ruvex::testing;

TEST(PrepareStack, EntriesOfTheDemoFault) {
  TFakeTraceHost host;
  AddDemo(host);
  TDemoFault fault;
  SetStack(host, fault.stack);
  // Outermost first: Main's call of A and A's call of B are frame-chain
  // slots; the stale return of C is not.
  const std::string prepared = PrepareStack(host, fault.ebp, kStackTop, kStackBase, false, 0);
  ASSERT_EQ(prepared.size(), 4u + 3 * 5);
  EXPECT_EQ(kelvane::GetLe(prepared, 0, 4), 3u);
  const std::pair<int, std::uint32_t> expected[] = {
      {1, kDemoBase + 0x1008}, {1, kDemoBase + 0x1018}, {0, kDemoBase + 0x1028}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(prepared[4 + 5 * i], expected[i].first) << i;
    EXPECT_EQ(kelvane::GetLe(prepared, 5 + 5 * i, 4), expected[i].second) << i;
  }
  // The stop address ends the scan at its slot.
  const std::string stopped = PrepareStack(host, fault.ebp, kStackTop, kStackBase, true, kDemoBase + 0x1018);
  EXPECT_EQ(kelvane::GetLe(stopped, 0, 4), 1u);
  // A stop address of 0 never stops; an empty range gives an empty list.
  EXPECT_EQ(PrepareStack(host, fault.ebp, kStackTop, kStackBase, true, 0), prepared);
  EXPECT_EQ(PrepareStack(host, 0, kStackTop, kStackTop, false, 0), "");
}

}  // namespace
}  // namespace ruvex
