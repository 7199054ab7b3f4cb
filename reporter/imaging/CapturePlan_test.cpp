#include "reporter/imaging/CapturePlan.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

TTopWindow Own(TScreenRect r) { return {r, true, true, false}; }
TTopWindow Other(TScreenRect r) { return {r, false, true, false}; }

long long AreaOf(const std::vector<TScreenRect>& rects) {
  long long sum = 0;
  for (const auto& r : rects) sum += (long long)(r.right - r.left) * (r.bottom - r.top);
  return sum;
}

const TScreenRect kScreen{0, 0, 1024, 768};

TEST(CapturePlan, WholeScreenIgnoresWindows) {
  auto plan = PlanCapture(kScreen, {Other({0, 0, 10, 10})}, false);
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->area, kScreen);
  EXPECT_FALSE(plan->clipped);
  EXPECT_FALSE(PlanCapture({0, 0, 0, 0}, {}, false));
}

TEST(CapturePlan, OwnWindowsWithCoveringWindowsCutOut) {
  // Another program's window covers the right half of ours; one of ours is
  // minimised, one hidden, one off screen in part.
  const std::vector<TTopWindow> windows = {
      Other({150, 100, 400, 300}),
      Own({100, 100, 200, 200}),
      {{500, 500, 600, 600}, true, true, true},
      {{700, 0, 800, 50}, true, false, false},
      Own({1000, 700, 1100, 800}),
  };
  auto plan = PlanCapture(kScreen, windows, true);
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->area, (TScreenRect{100, 100, 1024, 768}));
  ASSERT_TRUE(plan->clipped);
  EXPECT_EQ(AreaOf(plan->clip), 50 * 100 + 24 * 68);
  for (const auto& r : plan->clip) {
    // Nothing of the covering window, relative to the area's corner.
    EXPECT_TRUE(r.right <= 50 || r.left >= 300 || r.top >= 200) << r.left << "," << r.top;
  }
}

TEST(CapturePlan, NothingWhenOurWindowsAreCoveredOrMissing) {
  EXPECT_FALSE(PlanCapture(kScreen, {Other({0, 0, 500, 500}), Own({100, 100, 200, 200})}, true));
  EXPECT_FALSE(PlanCapture(kScreen, {Other({0, 0, 500, 500})}, true));
  EXPECT_FALSE(PlanCapture(kScreen, {Own({2000, 0, 2100, 100})}, true));
  EXPECT_FALSE(PlanCapture(kScreen, {Own({10, 10, 10, 50})}, true));
  // Covered by two windows of others together.
  EXPECT_FALSE(PlanCapture(kScreen, {Other({0, 0, 150, 500}), Other({150, 0, 500, 500}), Own({100, 100, 200, 200})}, true));
}

TEST(CapturePlan, SubtractLeavesTheRest) {
  const TScreenRect r{0, 0, 10, 10};
  EXPECT_EQ(Subtract(r, {20, 20, 30, 30}), std::vector<TScreenRect>{r});
  EXPECT_TRUE(Subtract(r, {-1, -1, 11, 11}).empty());
  EXPECT_EQ(AreaOf(Subtract(r, {2, 2, 5, 5})), 100 - 9);
  EXPECT_EQ(Subtract(r, {2, 2, 5, 5}).size(), 4u);
}

}  // namespace
}  // namespace ruvex
