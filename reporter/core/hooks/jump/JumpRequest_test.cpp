#include "reporter/core/hooks/jump/JumpRequest.h"

#include <gtest/gtest.h>

#include <map>

namespace ruvex {
namespace {

class TFakeWindowDirectory : public IWindowDirectory {
 public:
  struct TWindow {
    std::u16string className;
    std::uint32_t thread = 0;
  };
  std::map<std::uintptr_t, TWindow> windows;  // by handle, enumerated in handle order
  struct TSent {
    TWindowHandle window;
    std::uint32_t message;
    std::uintptr_t wParam;
    std::string text;
    std::size_t size;
  };
  std::vector<TSent> sent;

  TWindowHandle FindTopLevel(const std::u16string& className) const override {
    for (const auto& [h, w] : windows)
      if (w.className == className) return TWindowHandle(h);
    return {};
  }
  std::uint32_t ThreadOf(TWindowHandle window) const override { return windows.at(window.Value()).thread; }
  std::vector<TWindowHandle> Windows() const override {
    std::vector<TWindowHandle> all;
    for (const auto& [h, w] : windows) all.push_back(TWindowHandle(h));
    return all;
  }
  std::u16string ClassNameOf(TWindowHandle window) const override { return windows.at(window.Value()).className; }
  std::uint32_t RegisterMessage(const std::u16string& name) override {
    return name == kIdeJumpMessage ? 0xC123 : 0;
  }
  bool SendWithTimeout(TWindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                       std::uint32_t timeoutMs) override {
    EXPECT_EQ(timeoutMs, 1000u);
    const char* buffer = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(lParam));
    std::size_t size = kJumpBufferSize;
    while (buffer[size - 1] != '\0') ++size;  // a longer line: up to its zero byte
    sent.push_back({window, message, wParam, std::string(buffer), size});
    return true;
  }
  std::uint32_t CurrentProcessId() const override { return 0x4d2; }
};

TEST(JumpRequest, GoesToTheMessageWindowOfTheEnvironmentsThreadOnly) {
  TFakeWindowDirectory desktop;
  desktop.windows[10] = {u"RuvexToolsMsgHandlerWindow$1a7", 0x1a7};  // a longer id with the same digits
  desktop.windows[20] = {u"TAppBuilder", 0x1a};
  desktop.windows[30] = {u"RuvexToolsMsgHandlerWindow$1A", 0x1a};  // the case counts
  desktop.windows[40] = {u"RuvexToolsMsgHandlerWindow$1a", 0x1a};
  desktop.windows[50] = {u"RuvexToolsMsgHandlerWindow$1a", 0x1a};  // only the first gets it

  EXPECT_EQ(SendJumpRequest(desktop, u"Unit1.pas\t12\tK\u00f6ln"), TWindowHandle(40));
  ASSERT_EQ(desktop.sent.size(), 1u);
  EXPECT_EQ(desktop.sent[0].window, TWindowHandle(40));
  EXPECT_EQ(desktop.sent[0].message, 0xC123u);
  EXPECT_EQ(desktop.sent[0].wParam, 0x4d2u);
  EXPECT_EQ(desktop.sent[0].text, "Unit1.pas 12 K\xc3\xb6ln");
  EXPECT_EQ(desktop.sent[0].size, kJumpBufferSize);
}

TEST(JumpRequest, NothingHappensWithoutTheEnvironmentOrItsWindow) {
  TFakeWindowDirectory none;
  none.windows[10] = {u"RuvexToolsMsgHandlerWindow$1a", 0x1a};
  EXPECT_FALSE(SendJumpRequest(none, u"line"));
  TFakeWindowDirectory noMessageWindow;
  noMessageWindow.windows[20] = {u"TAppBuilder", 0x1a};
  noMessageWindow.windows[30] = {u"RuvexToolsMsgHandlerWindow$1a7", 0x1a7};
  EXPECT_FALSE(SendJumpRequest(noMessageWindow, u"line"));
  EXPECT_TRUE(none.sent.empty() && noMessageWindow.sent.empty());
}

TEST(JumpRequest, BufferHoldsALongLineWhole) {
  const std::vector<char> buffer = JumpRequestBuffer(std::u16string(300, u'x'));
  ASSERT_EQ(buffer.size(), 301u);
  EXPECT_EQ(buffer[299], 'x');
  EXPECT_EQ(buffer[300], '\0');
}

}  // namespace
}  // namespace ruvex
