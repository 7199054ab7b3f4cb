#include "reporter/core/flow/HandOver.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <set>
#include <thread>

using namespace ruvex;
using namespace std::chrono_literals;

namespace {

// Events as ids in a set; the handling thread "ends" when told to.
class TFakeHandlingSignals : public IHandlingSignals {
 public:
  TWaitOutcome WaitForRequest(const THandlingRequest& request) override {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [&] { return threadEnded_ || done_.count(request.completionEvent.Value()) > 0; });
    return done_.count(request.completionEvent.Value()) ? TWaitOutcome::requestDone
                                                        : TWaitOutcome::handlingThreadEnded;
  }
  void RequestDone(const THandlingRequest& request) override {
    std::lock_guard<std::mutex> hold(lock_);
    done_.insert(request.completionEvent.Value());
    changed_.notify_all();
  }
  void ThreadEnded() {
    std::lock_guard<std::mutex> hold(lock_);
    threadEnded_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::set<std::uintptr_t> done_;
  bool threadEnded_ = false;
};

THandlingRequest Request(std::uintptr_t event, std::uintptr_t object = 0xE0) {
  THandlingRequest request;
  request.completionEvent = kelvane::TKernelHandle(event);
  request.exceptObject = object;
  return request;
}

struct HandOverTest : ::testing::Test {
  TRequestRing ring;
  TFakeHandlingSignals signals;
  TReportedMarks marks;
  TCentralHandler central{ring, signals, marks};
};

}  // namespace

TEST_F(HandOverTest, HandlingThreadRunsRequestsInOrderAndEndsOnTheEndRequest) {
  std::vector<std::uint32_t> handled;
  std::thread handling([&] {
    RunHandlingLoop(ring, signals, [&](const THandlingRequest& r) {
      handled.push_back(r.threadId);
      if (r.threadId == 2) throw std::runtime_error("the flow's own fault");
    });
  });
  for (std::uint32_t id = 1; id <= 3; ++id) {
    auto request = Request(id);
    request.threadId = id;
    EXPECT_EQ(central.Report({id, false}, request, nullptr), THandOverResult::handled);
  }
  ASSERT_TRUE(ring.Write(THandlingRequest{}));
  handling.join();
  EXPECT_EQ(handled, (std::vector<std::uint32_t>{1, 2, 3}));
}

TEST_F(HandOverTest, AFaultingThreadStopsWaitingWhenTheHandlingThreadEnds) {
  std::thread ender([&] {
    std::this_thread::sleep_for(20ms);
    signals.ThreadEnded();
  });
  EXPECT_EQ(central.Report({5, false}, Request(5), nullptr), THandOverResult::handlingThreadEnded);
  ender.join();
}

TEST_F(HandOverTest, IgnoredAbortedAndNotQueued) {
  central.SetHandlingThread(10);
  central.SetMainThread(1);
  EXPECT_EQ(central.Report({10, false}, Request(1), nullptr), THandOverResult::ignored);
  central.SetMainThreadInHandlers(true);
  EXPECT_EQ(central.Report({1, false}, Request(1), nullptr), THandOverResult::ignored);
  EXPECT_EQ(ring.Pending(), 0u);

  int closed = 0;
  auto abortRequest = Request(2);
  EXPECT_EQ(central.Report({3, true}, abortRequest, [&] { ++closed; }), THandOverResult::aborted);
  EXPECT_EQ(closed, 0) << "an abort that can continue just ends";
  abortRequest.canContinue = false;
  EXPECT_EQ(central.Report({3, true}, abortRequest, [&] { ++closed; }), THandOverResult::aborted);
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(ring.Pending(), 0u) << "no abort is ever reported";

  for (std::size_t i = 0; i < kRequestSlots; ++i) ASSERT_TRUE(ring.Write(Request(100 + i)));
  EXPECT_EQ(central.Report({3, false}, Request(7), nullptr), THandOverResult::notQueued) << "and does not wait";
}

TEST_F(HandOverTest, ReportedObjectsAreMarkedBesideTheirMessageOnlyWithHiddenHandlers) {
  std::thread handling([&] { RunHandlingLoop(ring, signals, [](const THandlingRequest&) {}); });
  EXPECT_EQ(central.Report({4, false}, Request(1, 0xA1), nullptr), THandOverResult::handled);
  EXPECT_FALSE(marks.IsMarked(0xA1));
  EXPECT_FALSE(central.ShouldHandInHidden(0xA3)) << "nobody listens";
  central.SetHiddenHandlersExist([] { return true; });
  EXPECT_EQ(central.Report({4, false}, Request(2, 0xA2), nullptr), THandOverResult::handled);
  EXPECT_TRUE(marks.IsMarked(0xA2));
  EXPECT_FALSE(central.ShouldHandInHidden(0xA2)) << "reported once is enough";
  EXPECT_TRUE(central.ShouldHandInHidden(0xA3));
  ring.Write(THandlingRequest{});
  handling.join();
}

TEST(ReportedMarks, MarkForgetAndFixedRoom) {
  TReportedMarks marks;
  marks.Mark(0);
  EXPECT_FALSE(marks.IsMarked(0));
  for (std::uintptr_t object = 1; object <= TReportedMarks::kCapacity + 1; ++object) marks.Mark(object);
  EXPECT_FALSE(marks.IsMarked(1)) << "the oldest gave way";
  EXPECT_TRUE(marks.IsMarked(2));
  EXPECT_TRUE(marks.IsMarked(TReportedMarks::kCapacity + 1));
  marks.Forget(2);
  EXPECT_FALSE(marks.IsMarked(2));
}
