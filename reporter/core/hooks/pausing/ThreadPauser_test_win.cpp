// Pausing a thread that pumps messages (runs under wine64).
#include <windows.h>

#include "common/win/NativeHandles_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "reporter/core/hooks/pausing/ThreadPauser_win.h"
#include "reporter/core/hooks/threads/ThreadCreationHooks_win.h"

namespace ruvex {
namespace {

// A thread of the application that counts the WM_APP messages it pumps.
class TPumpingThread {
 public:
  TPumpingThread() {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, ready] {
      MSG msg;
      PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists from here
      id_ = GetCurrentThreadId();
      SetEvent(ready);
      while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        if (msg.message == WM_APP) ++count_;
    });
    WaitForSingleObject(ready, 5000);
    CloseHandle(ready);
  }
  ~TPumpingThread() {
    PostThreadMessageW(id_, WM_QUIT, 0, 0);
    thread_.join();
  }
  void Post(int n) {
    for (int i = 0; i < n; ++i) PostThreadMessageW(id_, WM_APP, 0, 0);
  }
  // Waits up to `ms` for the count to reach `n`.
  int CountAfter(int n, DWORD ms) {
    for (DWORD waited = 0; count_ < n && waited < ms; waited += 10) Sleep(10);
    return count_;
  }
  DWORD Id() const { return id_; }

 private:
  std::thread thread_;
  std::atomic<DWORD> id_{0};
  std::atomic<int> count_{0};
};

// The first bytes of a user32 function, where the redirection goes.
std::vector<std::uint8_t> EntryBytes(const char* function) {
  const auto* entry = reinterpret_cast<const std::uint8_t*>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), function)));
  return std::vector<std::uint8_t>(entry, entry + 16);
}

bool IsTestProgram(kelvane::TModuleHandle m) { return kelvane::ToHmodule(m) == GetModuleHandleW(nullptr); }

struct ThreadPauser : ::testing::Test {
  TThreadRegistry registry{GetCurrentThreadId()};
  std::unique_ptr<IMemoryPatcher> memory = CreateProcessMemoryPatcher();
  TPatchList patches{*memory};
  void SetUp() override { ASSERT_TRUE(InstallThreadCreationHooks(registry, patches)); }
  void TearDown() override { RemoveThreadCreationHooks(patches); }
};

TEST_F(ThreadPauser, APumpingThreadStopsWhilePausedAndGoesOnAfterResume) {
  const auto getMessage = EntryBytes("GetMessageW");
  const auto peekMessage = EntryBytes("PeekMessageW");
  TPumpingThread pump;
  pump.Post(3);
  ASSERT_EQ(pump.CountAfter(3, 5000), 3);

  TThreadPauser pauser(registry, patches, GetCurrentThreadId(), IsTestProgram);
  ASSERT_EQ(pauser.PauseThreads(0), TActionResult::done);
  EXPECT_NE(EntryBytes("GetMessageW"), getMessage);
  pump.Post(3);
  EXPECT_EQ(pump.CountAfter(6, 300), 3);  // held at its next retrieval

  pauser.ResumeThreads();
  EXPECT_EQ(pump.CountAfter(6, 5000), 6);
  EXPECT_EQ(EntryBytes("GetMessageW"), getMessage);  // the redirection is gone, byte for byte
  EXPECT_EQ(EntryBytes("PeekMessageW"), peekMessage);

  // A second pause holds the thread again, through the same stubs.
  ASSERT_EQ(pauser.PauseThreads(0), TActionResult::done);
  pump.Post(1);
  EXPECT_EQ(pump.CountAfter(7, 300), 6);
  pauser.ResumeThreads();
  EXPECT_EQ(pump.CountAfter(7, 5000), 7);
}

TEST_F(ThreadPauser, TheMainThreadIsLetGoForSynchronisedHandlersOnly) {
  TPumpingThread mainThread;
  // The main thread is held whoever created it, on its own event.
  TThreadPauser pauser(registry, patches, mainThread.Id(), [](kelvane::TModuleHandle) { return false; });
  ASSERT_EQ(pauser.PauseThreads(0), TActionResult::done);
  mainThread.Post(1);
  EXPECT_EQ(mainThread.CountAfter(1, 300), 0);
  pauser.ResumeMainThread();
  EXPECT_EQ(mainThread.CountAfter(1, 5000), 1);
  pauser.PauseMainThread();
  mainThread.Post(1);  // the first one it retrieves still passes: it was let go
  mainThread.Post(1);
  EXPECT_EQ(mainThread.CountAfter(3, 300), 2);
  EXPECT_TRUE(pauser.Paused());
  pauser.ResumeThreads();
  EXPECT_EQ(mainThread.CountAfter(3, 5000), 3);
}

TEST_F(ThreadPauser, SparedAndForeignThreadsGoOn) {
  TPumpingThread spared, foreign;
  const auto before = EntryBytes("GetMessageW");
  {
    // Only the spared thread's module counts as carrying the reporter here.
    TThreadPauser pauser(registry, patches, GetCurrentThreadId(), IsTestProgram);
    ASSERT_EQ(pauser.PauseThreads(spared.Id()), TActionResult::done);
    spared.Post(2);
    EXPECT_EQ(spared.CountAfter(2, 5000), 2);
    pauser.ResumeThreads();
  }
  {
    TThreadPauser pauser(registry, patches, GetCurrentThreadId(), [](kelvane::TModuleHandle) { return false; });
    ASSERT_EQ(pauser.PauseThreads(0), TActionResult::done);
    foreign.Post(2);
    EXPECT_EQ(foreign.CountAfter(2, 5000), 2);
    // Leaving the pauser resumes whatever it paused.
  }
  EXPECT_EQ(EntryBytes("GetMessageW"), before);
}

}  // namespace
}  // namespace ruvex
