#include "reporter/ui/ProgressAreas.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "reporter/ui/ProgressAlert.h"
#include "reporter/ui/ProgressLayout.h"

namespace ruvex {
namespace {

TEST(ProgressAreas, BarFollowsTheWeights) {
  TProgressAreas a;
  a.AddArea(u"Connecting to server...", 500);
  a.AddArea(u"Sending attachments...", 5000);
  a.AddArea(u"", 1000);
  EXPECT_EQ(a.CaptionsAhead(), (std::vector<std::u16string>{u"Connecting to server...", u"Sending attachments...",
                                                           u"Sending attachments..."}));
  const struct {
    int area, perMille, bar;
  } steps[] = {{0, 0, 0}, {0, 1000, 76}, {1, 500, 461}, {1, 999, 845}, {2, 0, 846}, {2, 1000, 1000}};
  for (const auto& s : steps) {
    a.SetCurrentArea(s.area);
    a.SetPosition(s.perMille);
    EXPECT_EQ(a.BarPosition(), s.bar) << s.area << " " << s.perMille;
  }
  a.SetPosition(5000);  // beyond the area: clamped
  EXPECT_EQ(a.BarPosition(), 1000);
}

TEST(ProgressAreas, CurrentAreaRules) {
  TProgressAreas a;
  EXPECT_FALSE(a.SetCurrentArea(0));  // no areas: ignored
  EXPECT_FALSE(a.AreaDone());
  a.SetPosition(300);
  EXPECT_EQ(a.BarPosition(), 0);
  a.AddArea(u"one", 10);
  a.AddArea(u"two", 30);
  a.SetPosition(700);
  EXPECT_FALSE(a.SetCurrentArea(0));  // the current one: position stays
  EXPECT_EQ(a.GetPosition(), 700);
  EXPECT_FALSE(a.SetCurrentArea(-1));
  EXPECT_FALSE(a.SetCurrentArea(3));
  EXPECT_TRUE(a.AreaDone());
  EXPECT_EQ(a.GetCurrentArea(), 1);
  EXPECT_EQ(a.GetPosition(), 0);
  EXPECT_EQ(a.BarPosition(), 250);
  EXPECT_TRUE(a.SetCurrentArea(2));  // all done: last caption, full bar
  EXPECT_EQ(a.GetCurrentArea(), 1);
  EXPECT_EQ(a.CurrentCaption(), u"two");
  EXPECT_EQ(a.BarPosition(), 1000);
  a.ClearAreas();
  EXPECT_EQ(a.Total(), 0u);
  EXPECT_EQ(a.GetCurrentArea(), 0);
  EXPECT_EQ(a.BarPosition(), 0);
}

TEST(ProgressAreas, HugeWeightsStayExact) {
  const std::uint64_t big = 0x7FFFFFFFFFFFFFFFull;
  TProgressAreas a;
  a.AddArea(u"a", big);
  a.AddArea(u"b", big);
  EXPECT_FALSE(a.AddArea(u"c", 2));  // the total would wrap
  a.SetCurrentArea(1);
  a.SetPosition(500);
  EXPECT_EQ(a.BarPosition(), 749);  // (big + big/2) * 1000 / (2 big), rounded down
  EXPECT_EQ(MulDiv64(~0ull, ~0ull, ~0ull), ~0ull);
  EXPECT_EQ(MulDiv64(3000000000000ull, 1000, 7), 428571428571428ull);
  EXPECT_EQ(MulDiv64(0, 5, 1), 0u);
}

TEST(ProgressLayout, Geometry) {
  const TProgressMetrics m{3, 3, 16, 17};
  // One short line beside the icon: centred against it, 26 high, 220 wide.
  TProgressLayout l = LayOutProgress(150, 13, true, m);
  EXPECT_EQ(l.icon, (TRect{9, 9, 32, 32}));
  EXPECT_EQ(l.label, (TRect{51, 12, 220, 26}));
  EXPECT_EQ(l.bar, (TRect{11, 50, 220, 17}));
  EXPECT_EQ(l.windowWidth, 242 + 6);
  EXPECT_EQ(l.windowHeight, 26 + 16 + 17 + 6 + 36);
  // Without icon, a wrapped caption.
  l = LayOutProgress(410, 39, false, m);
  EXPECT_EQ(l.icon, TRect{});
  EXPECT_EQ(l.label, (TRect{11, 12, 410, 39}));
  EXPECT_EQ(l.bar, (TRect{11, 63, 410, 17}));
  EXPECT_EQ(l.windowWidth, 432 + 6);

  const TRect work{0, 0, 1024, 738};
  EXPECT_EQ(StackedPosition(work, 248, 101, 0), (TRect{774, 635, 248, 101}));
  EXPECT_EQ(StackedPosition(work, 248, 101, 1), (TRect{774, 534, 248, 101}));
  EXPECT_EQ(StackedPosition(work, 248, 101, -1), (TRect{774, 635, 248, 101}));
  EXPECT_EQ(CentredPosition(1024, 768, 248, 101), (TRect{388, 333, 248, 101}));
}

TEST(ProgressLayout, StackingSlotsTakeTheFirstFreeOne) {
  std::set<std::u16string> held;
  auto reserve = [&](const std::u16string& name) { return held.insert(name).second; };
  for (int j = 0; j < 8; ++j) EXPECT_EQ(ReserveStackingSlot(reserve), j);
  EXPECT_EQ(ReserveStackingSlot(reserve), -1);  // the ninth takes none
  held.erase(u"RuvexProgressAlertPos3");
  EXPECT_EQ(ReserveStackingSlot(reserve), 3);
}

TEST(ProgressAlert, StateFromManyThreads) {
  PProgressAlert alert = CreateProgressAlert(u"Sending", {}, u"");
  alert->AddArea(u"Connecting to server...", 500);
  alert->AddArea(u"Sending attachments...", 5000);
  alert->AddArea(u"", 1000);
  std::thread worker([&] {
    alert->AreaDone();
    alert->SetPosition(500);
  });
  worker.join();
  EXPECT_EQ(alert->GetCurrentArea(), 1);
  EXPECT_EQ(alert->GetBarPosition(), 461);
  alert->SetTitle(u"Sending bug report");
  EXPECT_EQ(alert->GetTitle(), u"Sending bug report");
  PProgressAlert empty = CreateProgressAlert(u"t", {}, u"");
  empty->AreaDone();  // no areas: nothing happens
  EXPECT_EQ(empty->GetCurrentArea(), 0);
}

}  // namespace
}  // namespace ruvex
