#include "reporter/engines/trace/support/CodeModel.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

TEST(X86CodeModel, WhatLooksLikeAReturnAddress) {
  struct TCase {
    const char* what;
    std::vector<std::uint8_t> before;  // the bytes just before the value
    bool looks;
    bool decodedCall;  // CallAt from the call's start finds it
  } cases[] = {
      {"call rel32", {0xE8, 1, 2, 3, 4}, true, true},
      {"call eax", {0xFF, 0xD0}, true, true},
      {"call [eax]", {0xFF, 0x10}, true, true},
      {"call [ebp+8]", {0xFF, 0x55, 0x08}, true, true},
      {"call [esp+8]", {0xFF, 0x54, 0x24, 0x08}, true, true},
      {"call [0x401000]", {0xFF, 0x15, 0, 0x10, 0x40, 0}, true, true},
      {"call [eax*4+0x401000]", {0xFF, 0x14, 0x85, 0, 0x10, 0x40, 0}, true, true},
      {"call far [eax]", {0xFF, 0x18}, true, true},
      {"call far ptr", {0x9A, 0, 0x10, 0x40, 0, 0x1B, 0}, true, true},
      {"jmp eax", {0xFF, 0xE0}, false, false},
      {"push [eax]", {0xFF, 0x30}, false, false},
      {"plain data", {1, 2, 3, 4, 5, 6, 7}, false, false},
  };
  const TX86CodeModel32 model;
  for (const TCase& c : cases) {
    std::vector<std::uint8_t> bytes(16, 0x90);
    std::copy(c.before.begin(), c.before.end(), bytes.end() - c.before.size());
    const Address base = 0x401000, value = base + bytes.size();
    bytes.resize(bytes.size() + 4, 0x90);
    const TBufferMemory memory(base, bytes);
    EXPECT_EQ(model.LooksLikeReturnAddress(memory, value), c.looks) << c.what;
    const auto call = model.CallAt(memory, value - c.before.size(), value);
    EXPECT_EQ(call.has_value(), c.decodedCall) << c.what;
  }
  // Too close to the start of the address space, or bytes unreadable.
  const TBufferMemory tiny(0, {0xE8, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_FALSE(model.LooksLikeReturnAddress(tiny, 5));
  EXPECT_FALSE(model.LooksLikeReturnAddress(tiny, 0x500000));
}

}  // namespace
}  // namespace ruvex
