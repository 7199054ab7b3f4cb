#include "reporter/core/freeze/FreezeWatchdog_win.h"

#include <gtest/gtest.h>

#include <atomic>

#include "common/win/NativeHandles_win.h"
#include "reporter/engines/system/messages/MessageWindow.h"

using namespace ruvex;

namespace {

// Runs the main thread's messages for `ms`, or sleeps through them.
void Spend(DWORD ms, bool answering) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    if (!answering) {
      Sleep(ms);
      return;
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(5);  // busy with its own work, between messages
  }
}

struct TWatched {
  kelvane::TWinHandle mutex{CreateMutexW(nullptr, FALSE, nullptr)};
  std::atomic<int> freezes{0};
  TFreezeWatchdog watchdog;

  bool Start() {
    TFreezeWatchdogConfig config;
    config.mainWindow = kelvane::ToHwnd(ThreadMessageWindow(GetCurrentThreadId()));
    config.watchdogMutex = mutex.Get();
    config.freezeTimeoutSeconds = 2;  // 200 ms polls
    config.reportFreeze = [this] { ++freezes; };
    return watchdog.Start(std::move(config));
  }
};

}  // namespace

// A main thread asleep for 3.5 s misses ten 200 ms polls once; the next
// report would need ten polls of 300 ms more.
TEST(FreezeWatchdogWin, SleepingMainThreadIsReportedOnce) {
  TWatched w;
  ASSERT_TRUE(w.Start());
  Spend(3'500, false);
  Spend(1'000, true);
  w.watchdog.Stop();
  EXPECT_EQ(w.freezes.load(), 1);
  EXPECT_FALSE(w.watchdog.Running());
}

TEST(FreezeWatchdogWin, BusyButAnsweringThreadIsNotReported) {
  TWatched w;
  ASSERT_TRUE(w.Start());
  Spend(3'000, true);
  w.watchdog.Stop();
  EXPECT_EQ(w.freezes.load(), 0);
}

TEST(FreezeWatchdogWin, PausedWatchdogReportsNothingAndAbandonedMutexCounts) {
  TWatched w;
  // A thread that ends holding the mutex leaves it abandoned.
  HANDLE mutex = w.mutex.Get();
  kelvane::TWinHandle owner(CreateThread(
      nullptr, 0, [](void* m) -> DWORD { return WaitForSingleObject(static_cast<HANDLE>(m), INFINITE); }, mutex, 0,
      nullptr));
  WaitForSingleObject(owner.Get(), 5'000);
  ASSERT_TRUE(w.Start());
  w.watchdog.Pause(true);
  Spend(2'600, false);
  EXPECT_EQ(w.freezes.load(), 0) << "paused";
  w.watchdog.Pause(false);
  Spend(2'600, false);
  w.watchdog.Stop();
  EXPECT_EQ(w.freezes.load(), 1) << "the abandoned mutex was taken and polling resumed";
}
