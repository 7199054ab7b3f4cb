// The main thread's message window on the real API (wine64): the test's
// thread plays the main thread, another the handling thread.
#include "reporter/core/handling/MainThreadChannel_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace ruvex;

namespace {

// Keeps this thread's messages flowing until `done`.
void PumpUntil(const std::atomic<bool>& done) {
  while (!done) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
}

}  // namespace

TEST(MainThreadChannel, ASynchronisedPassRunsInTheMainThread) {
  std::atomic<int> inHandlers{0};
  TWin32MainThreadChannel channel([&](bool running) { inHandlers += running ? 1 : 10; });
  ASSERT_TRUE(channel.MessageWindowExists());
  DWORD passThread = 0;
  bool probed = false, called = false;
  std::atomic<bool> done{false};
  std::thread handling([&] {
    probed = channel.Probe(std::chrono::milliseconds(2000));
    called = channel.CallSynchronised([&] { passThread = GetCurrentThreadId(); }, std::chrono::milliseconds(2000));
    done = true;
  });
  PumpUntil(done);
  handling.join();
  EXPECT_TRUE(probed);
  EXPECT_TRUE(called);
  EXPECT_EQ(passThread, GetCurrentThreadId());
  EXPECT_EQ(inHandlers.load(), 11) << "held back for the pass, let go after it";
}

TEST(MainThreadChannel, ABlockedMainThreadFailsTheCallAndNeverRunsItLater) {
  TWin32MainThreadChannel channel(nullptr);
  std::atomic<int> passes{0};
  bool called = true;
  DWORD waited = 0;
  std::thread handling([&] {
    const DWORD start = GetTickCount();
    called = channel.CallSynchronised([&] { ++passes; }, std::chrono::milliseconds(300));
    waited = GetTickCount() - start;
  });
  Sleep(1500);  // blocked: no messages flow
  handling.join();
  std::atomic<bool> done{false};
  std::thread later([&] {
    Sleep(300);
    done = true;
  });
  PumpUntil(done);  // a message still queued arrives now
  later.join();
  EXPECT_FALSE(called);
  EXPECT_LT(waited, 1200u) << "given up within its time-out, not when the main thread woke";
  EXPECT_EQ(passes.load(), 0) << "the pass's record is gone by the time the message arrives";
}
