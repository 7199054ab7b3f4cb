// Message windows and their handlers (runs under wine64).
#include <windows.h>

#include "common/win/NativeHandles_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "reporter/engines/system/messages/MessageWindow.h"
#include "reporter/engines/system/messages/MessageWindowName.h"

namespace ruvex {
namespace {

std::atomic<int> handled{0};
void CountingHandler(TMessage& m) {
  handled += static_cast<int>(m.wParam);
  m.result = 77;
}

TEST(MessageWindow, HandlersReceiveTheirMessages) {
  const auto window = ThreadMessageWindow(GetCurrentThreadId());
  ASSERT_TRUE(window);
  EXPECT_EQ(ThreadMessageWindow(GetCurrentThreadId()), window);
  const std::uint32_t message = AddMsgHandler(window, 0, CountingHandler);
  EXPECT_GE(message, kFirstFreeMessage);
  EXPECT_EQ(SendMessageW(kelvane::ToHwnd(window), message, 5, 0), 77);
  EXPECT_EQ(handled.load(), 5);
  EXPECT_EQ(SendMessageW(kelvane::ToHwnd(window), message + 1, 5, 0), 0);  // nobody handles it
  EXPECT_EQ(handled.load(), 5);

  // Another thread finds the window but never creates one for this thread.
  kelvane::TWindowHandle seen, created(1);
  const DWORD self = GetCurrentThreadId();
  std::thread([&] {
    seen = ThreadMessageWindow(self);
    created = ThreadMessageWindow(GetCurrentThreadId() + 4);
  }).join();
  EXPECT_EQ(seen, window);
  EXPECT_FALSE(created);

  EXPECT_TRUE(DelMsgHandler(window, message, CountingHandler));
  SendMessageW(kelvane::ToHwnd(window), message, 5, 0);
  EXPECT_EQ(handled.load(), 5);
  EXPECT_EQ(AddMsgHandler(kelvane::TWindowHandle(), 0, CountingHandler), 0u);
}

std::wstring ClassOf(kelvane::TWindowHandle window) {
  wchar_t name[257] = {};
  GetClassNameW(kelvane::ToHwnd(window), name, 257);
  return name;
}

bool ClassRegistered(const std::u16string& name) {
  WNDCLASSEXW info{};
  info.cbSize = sizeof info;
  return GetClassInfoExW(GetModuleHandleW(nullptr), reinterpret_cast<const wchar_t*>(name.c_str()), &info) != FALSE;
}

TEST(MessageWindow, ClassIsNamedByTheThreadAndGoesWithIt) {
  const std::u16string mine = MessageWindowClassName(GetCurrentThreadId());
  EXPECT_EQ(ClassOf(ThreadMessageWindow(GetCurrentThreadId())), std::wstring(mine.begin(), mine.end()));

  // A thread's class must not outlive it: a later thread with the same id
  // would get no window.
  DWORD threadId = 0;
  std::u16string name;
  bool registeredWhileRunning = false;
  std::thread([&] {
    threadId = GetCurrentThreadId();
    name = MessageWindowClassName(threadId);
    ASSERT_TRUE(ThreadMessageWindow(threadId));
    registeredWhileRunning = ClassRegistered(name);
  }).join();
  EXPECT_EQ(name, u"RuvexToolsMsgHandlerWindow$" + kelvane::HexLower16(threadId));
  EXPECT_TRUE(registeredWhileRunning);
  EXPECT_FALSE(ClassRegistered(name));
  EXPECT_FALSE(ThreadMessageWindow(threadId));
}

}  // namespace
}  // namespace ruvex
