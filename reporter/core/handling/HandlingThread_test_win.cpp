// The handling thread and its waits on the real API (wine64).
#include "reporter/core/handling/HandlingThread_win.h"

#include <gtest/gtest.h>

#include <atomic>

#include "common/win/NativeHandles_win.h"

using namespace ruvex;

namespace {

struct TRequestWithEvent {
  kelvane::TWinHandle event{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  THandlingRequest request;
  TRequestWithEvent() {
    request.completionEvent = kelvane::FromHandle(event.Get());
    request.threadId = GetCurrentThreadId();
  }
};

THandOverResult ReportFromHere(THandlingThread& thread, const THandlingRequest& request) {
  return thread.Central().Report({static_cast<std::uint32_t>(GetCurrentThreadId()), false}, request, nullptr);
}

// Not this process's main thread, so that the waits do not pump messages.
constexpr DWORD kSomeOtherThread = 1;

}  // namespace

TEST(HandlingThread, RunsEachRequestInItsThreadWhileTheFaultingThreadWaits) {
  std::atomic<DWORD> ranIn{0};
  std::atomic<int> runs{0};
  THandlingThread thread(
      [&](const THandlingRequest&) {
        Sleep(100);  // the faulting thread must still be waiting
        ranIn = GetCurrentThreadId();
        ++runs;
      },
      kSomeOtherThread);
  ASSERT_TRUE(thread.Running());
  for (int i = 0; i < 2; ++i) {
    TRequestWithEvent pending;
    EXPECT_EQ(ReportFromHere(thread, pending.request), THandOverResult::handled);
    EXPECT_EQ(WaitForSingleObject(pending.event.Get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(runs.load(), i + 1);
  }
  EXPECT_EQ(ranIn.load(), thread.ThreadId());
  EXPECT_NE(ranIn.load(), GetCurrentThreadId());
}

TEST(HandlingThread, AHandlingThreadThatEndsReleasesTheFaultingThread) {
  THandlingThread thread([](const THandlingRequest&) { ExitThread(0); }, kSomeOtherThread);
  TRequestWithEvent pending;
  const DWORD before = GetTickCount();
  EXPECT_EQ(ReportFromHere(thread, pending.request), THandOverResult::handlingThreadEnded);
  EXPECT_LT(GetTickCount() - before, 5000u);
}

TEST(HandlingThread, ItsOwnExceptionsAreNotHandedOver) {
  THandOverResult inner = THandOverResult::handled;
  THandlingThread* self = nullptr;
  THandlingThread thread(
      [&](const THandlingRequest&) {
        TRequestWithEvent nested;
        inner = ReportFromHere(*self, nested.request);
      },
      kSomeOtherThread);
  self = &thread;
  TRequestWithEvent pending;
  EXPECT_EQ(ReportFromHere(thread, pending.request), THandOverResult::handled);
  EXPECT_EQ(inner, THandOverResult::ignored) << "waiting for itself would never end";
}

TEST(HandlingThread, TheMainThreadWaitsToTheEndAndKeepsTheRequestToQuit) {
  std::atomic<bool> handled{false};
  THandlingThread thread(
      [&](const THandlingRequest&) {
        Sleep(200);
        handled = true;
      },
      GetCurrentThreadId());
  TRequestWithEvent pending;
  PostQuitMessage(7);
  EXPECT_EQ(ReportFromHere(thread, pending.request), THandOverResult::handled);
  EXPECT_TRUE(handled) << "the request outlives a quit message only while its thread waits";
  MSG message;
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 7u);
}
