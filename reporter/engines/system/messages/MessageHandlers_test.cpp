#include "reporter/engines/system/messages/MessageHandlers.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

void HandlerA(TMessage& m) { m.result += 1; }
void HandlerB(TMessage& m) { m.result += 10; }
void Method(void* object, TMessage& m) { m.result += *static_cast<int*>(object); }

TEST(MessageHandlers, FreeMessagesAreHandedOutFrom1024WithoutDuplicates) {
  TMessageHandlerList list;
  EXPECT_EQ(list.Add(0, HandlerA), 1024u);
  EXPECT_EQ(list.Add(0, HandlerA), 1024u);  // already has a free message
  EXPECT_EQ(list.Add(0, HandlerB), 1025u);
  EXPECT_EQ(list.Add(1026, HandlerA), 1026u);
  EXPECT_EQ(list.Add(0, HandlerB), 1025u);
  int a = 100, b = 200;
  EXPECT_EQ(list.Add(0, TMsgHandlerOO{&a, Method}), 1027u);
  EXPECT_EQ(list.Add(0, TMsgHandlerOO{&b, Method}), 1028u);  // another object is another handler
  EXPECT_EQ(list.Add(0x4A, HandlerA), 0x4Au);
  EXPECT_EQ(list.Add(0x4A, HandlerA), 0x4Au);
  EXPECT_EQ(list.HandlersFor(0x4A).size(), 1u);
  EXPECT_EQ(list.Add(0, TMsgHandler(nullptr)), 0u);

  EXPECT_TRUE(list.Remove(1025, HandlerB));
  EXPECT_FALSE(list.Remove(1025, HandlerB));
  EXPECT_EQ(list.Add(0, TMsgHandlerOO{&a, Method}), 1027u);
  EXPECT_EQ(list.Add(0, HandlerB), 1025u);  // the freed number is free again
  EXPECT_TRUE(list.Remove(0, HandlerA));    // from every message
  EXPECT_FALSE(list.Handles(1024));
  EXPECT_FALSE(list.Handles(0x4A));
  EXPECT_TRUE(list.Remove(1027, TMsgHandlerOO{&a, Method}));
  EXPECT_TRUE(list.Handles(1028));
}

TEST(MessageHandlers, OnlyChosenSystemMessagesAndHighOnesReachHandlers) {
  struct {
    std::uint32_t message;
    bool reaches;
  } cases[] = {{0x0001, false}, {0x000F, false}, {0x0010, true}, {0x0011, true}, {0x0016, true},
               {0x001A, true},  {0x004A, true},  {0x007E, true}, {0x007F, false}, {0x0080, false},
               {0x0200, false}, {535, false},    {536, true},    {1024, true},   {0xC123, true}};
  for (const auto& c : cases) EXPECT_EQ(MessageReachesHandlers(c.message), c.reaches) << c.message;
}

}  // namespace
}  // namespace ruvex
