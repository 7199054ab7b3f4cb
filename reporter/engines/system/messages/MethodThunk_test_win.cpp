// Method thunks as real code (runs under wine64).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

#include "reporter/engines/system/messages/MethodThunk.h"

namespace ruvex {
namespace {

struct TCounter {
  std::intptr_t base;
  static std::intptr_t Add(TCounter* self, std::intptr_t a, std::intptr_t b, std::intptr_t c) {
    return self->base + a + 10 * b + 100 * c;
  }
};

TEST(MethodThunk, CallsTheMethodWithTheObjectAndIsNeverWritable) {
  TCounter counter{1000};
  void* thunk = MethodThunk(&counter, reinterpret_cast<void*>(&TCounter::Add));
  ASSERT_TRUE(thunk);
  MEMORY_BASIC_INFORMATION info{};
  VirtualQuery(thunk, &info, sizeof info);
  EXPECT_EQ(info.Protect, static_cast<DWORD>(PAGE_EXECUTE_READ));
  using Callback = std::intptr_t (*)(std::intptr_t, std::intptr_t, std::intptr_t);
  EXPECT_EQ(reinterpret_cast<Callback>(thunk)(1, 2, 3), 1321);
  FreeMethodThunk(thunk);
}

}  // namespace
}  // namespace ruvex
