// The threads of this process under wine64: states of stopped and running
// threads, and ids that belong to another process.
#include "reporter/core/threads/ThreadAccess_win.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ruvex {
namespace {

struct TWaitingThread {
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Address stackBase = 0;
  DWORD id = 0;
  HANDLE thread = nullptr;

  static DWORD WINAPI Run(void* p) {
    auto* self = static_cast<TWaitingThread*>(p);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    self->stackBase = reinterpret_cast<std::uintptr_t>(reinterpret_cast<const NT_TIB*>(NtCurrentTeb())->StackBase);
#pragma GCC diagnostic pop
    SetEvent(self->ready);
    WaitForSingleObject(self->release, 10000);
    return 0;
  }
  TWaitingThread() {
    thread = CreateThread(nullptr, 0, Run, this, 0, &id);
    WaitForSingleObject(ready, 10000);
  }
  ~TWaitingThread() {
    SetEvent(release);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    CloseHandle(ready);
    CloseHandle(release);
  }
};

TEST(WinThreadAccess, StatesOfTheOwnThreads) {
  TWaitingThread waiting;
  TWinThreadAccess access;
  const std::vector<std::uint32_t> ids = access.ThreadIds();
  EXPECT_NE(std::find(ids.begin(), ids.end(), waiting.id), ids.end());
  EXPECT_NE(std::find(ids.begin(), ids.end(), GetCurrentThreadId()), ids.end());

  const auto running = access.QueryThreadState(waiting.id);
  ASSERT_TRUE(running);
  EXPECT_FALSE(running->suspended);
  EXPECT_EQ(running->priority, 0);
  EXPECT_EQ(running->stackTop, waiting.stackBase) << "the stack's top from the thread's information block";
  EXPECT_LT(running->stackBottom, running->stackTop);
  EXPECT_EQ(running->stackBottom, running->context.sp);
  EXPECT_EQ(running->context.pointerSize, sizeof(void*));

  ASSERT_NE(SuspendThread(waiting.thread), static_cast<DWORD>(-1));
  SetThreadPriority(waiting.thread, THREAD_PRIORITY_ABOVE_NORMAL);
  const auto stopped = access.QueryThreadState(waiting.id);
  ResumeThread(waiting.thread);
  ASSERT_TRUE(stopped);
  EXPECT_TRUE(stopped->suspended);
  EXPECT_EQ(stopped->priority, THREAD_PRIORITY_ABOVE_NORMAL);
  EXPECT_EQ(access.Describe(waiting.id, false).text.rfind(u"thread $", 0), 0u);
}

TEST(WinThreadAccess, ThreadsOfAnotherProcessAreNeverOpened) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_list_tests";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION other{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                             &startup, &other));
  TWinThreadAccess access;
  EXPECT_FALSE(access.QueryThreadState(other.dwThreadId));
  TerminateProcess(other.hProcess, 0);
  WaitForSingleObject(other.hProcess, 10000);
  CloseHandle(other.hThread);
  CloseHandle(other.hProcess);
}

}  // namespace
}  // namespace ruvex
