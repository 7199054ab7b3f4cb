// Message windows and their handlers (runs under wine64).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "reporter/engines/system/MessageWindow.h"

namespace ruvex {
namespace {

std::atomic<int> handled{0};
void CountingHandler(TMessage& m) {
  handled += static_cast<int>(m.wParam);
  m.result = 77;
}

TEST(MessageWindow, HandlersReceiveTheirMessages) {
  const auto window = ThreadMessageWindow(GetCurrentThreadId());
  ASSERT_NE(window, 0u);
  EXPECT_EQ(ThreadMessageWindow(GetCurrentThreadId()), window);
  const std::uint32_t message = AddMsgHandler(window, 0, CountingHandler);
  EXPECT_GE(message, kFirstFreeMessage);
  EXPECT_EQ(SendMessageW(reinterpret_cast<HWND>(window), message, 5, 0), 77);
  EXPECT_EQ(handled.load(), 5);
  EXPECT_EQ(SendMessageW(reinterpret_cast<HWND>(window), message + 1, 5, 0), 0);  // nobody handles it
  EXPECT_EQ(handled.load(), 5);

  // Another thread finds the window but never creates one for this thread.
  std::uintptr_t seen = 1, created = 1;
  const DWORD self = GetCurrentThreadId();
  std::thread([&] {
    seen = ThreadMessageWindow(self);
    created = ThreadMessageWindow(GetCurrentThreadId() + 4);
  }).join();
  EXPECT_EQ(seen, window);
  EXPECT_EQ(created, 0u);

  EXPECT_TRUE(DelMsgHandler(window, message, CountingHandler));
  SendMessageW(reinterpret_cast<HWND>(window), message, 5, 0);
  EXPECT_EQ(handled.load(), 5);
  EXPECT_EQ(AddMsgHandler(0, 0, CountingHandler), 0u);
}

}  // namespace
}  // namespace ruvex
