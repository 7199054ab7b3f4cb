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

TEST(X86CodeModel64, WhatLooksLikeAReturnAddress) {
  struct TCase {
    const char* what;
    std::vector<std::uint8_t> before;  // the bytes just before the value
    bool looks;
    bool decodedCall;  // CallAt from the first of these bytes finds it
  } cases[] = {
      {"call rel32", {0xE8, 1, 2, 3, 4}, true, true},
      {"call rax", {0xFF, 0xD0}, true, true},
      {"call r8", {0x41, 0xFF, 0xD0}, true, true},
      {"call [rax]", {0xFF, 0x10}, true, true},
      {"call [rbp+8]", {0xFF, 0x55, 0x08}, true, true},
      {"call [rsp+8]", {0xFF, 0x54, 0x24, 0x08}, true, true},
      {"call [r12+8]", {0x41, 0xFF, 0x54, 0x24, 0x08}, true, true},
      {"call [rip+disp32]", {0xFF, 0x15, 0x10, 0x00, 0x00, 0x00}, true, true},
      {"call [rip+disp32] with REX.W", {0x48, 0xFF, 0x15, 0x10, 0x00, 0x00, 0x00}, true, true},
      {"call [r12+disp32]", {0x41, 0xFF, 0x94, 0x24, 0x00, 0x01, 0x00, 0x00}, true, true},
      {"call [rax*8+disp32]", {0xFF, 0x14, 0xC5, 0, 0x10, 0x40, 0}, true, true},
      {"call far [rax]", {0xFF, 0x18}, true, true},
      {"far call with a pointer: no such call in 64-bit mode", {0x9A, 0, 0x10, 0x40, 0, 0x1B, 0}, false, false},
      {"jmp [rip+disp32]", {0xFF, 0x25, 0x10, 0x00, 0x00, 0x00}, false, false},
      {"jmp r11", {0x41, 0xFF, 0xE3}, false, false},
      {"push [rax]", {0xFF, 0x30}, false, false},
      {"plain data", {1, 2, 3, 4, 5, 6, 7}, false, false},
  };
  const TX86CodeModel64 model;
  const TX86CodeModel32 model32;
  for (const TCase& c : cases) {
    std::vector<std::uint8_t> bytes(16, 0x90);
    std::copy(c.before.begin(), c.before.end(), bytes.end() - c.before.size());
    const Address base = 0x7FF612340000, value = base + bytes.size();
    bytes.resize(bytes.size() + 4, 0x90);
    const TBufferMemory memory(base, bytes);
    EXPECT_EQ(model.LooksLikeReturnAddress(memory, value), c.looks) << c.what;
    const auto call = model.CallAt(memory, value - c.before.size(), value);
    EXPECT_EQ(call.has_value(), c.decodedCall) << c.what;
    if (call) {
      EXPECT_EQ(call->codeAddr, value - c.before.size()) << c.what;
    }
    // The tracer searches from the longest call back: every form must fit.
    EXPECT_LE(c.before.size(), model.LongestCall()) << c.what;
  }
  // 32-bit code read as such: 41 is inc ecx there, and FF D0 alone the call.
  const TBufferMemory rexCall(0x401000, {0x41, 0xFF, 0xD0});
  EXPECT_FALSE(model32.CallAt(rexCall, 0x401000, 0x401003).has_value());
  EXPECT_TRUE(model.CallAt(rexCall, 0x401000, 0x401003).has_value());
}

TEST(X86CodeModel64, CallTargetsAboveFourGigabytes) {
  const Address base = 0x7FF612340000, pointee = 0x7FFA00112233;
  // call rel32 forwards; call [rip+8] whose slot holds `pointee`; call rax.
  std::vector<std::uint8_t> bytes = {0xE8, 0x00, 0x01, 0x00, 0x00, 0xFF, 0x15, 0x02, 0x00, 0x00, 0x00,
                                     0xFF, 0xD0, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC};
  for (unsigned i = 0; i < 8; ++i) bytes[13 + i] = static_cast<std::uint8_t>(pointee >> (8 * i));
  const TBufferMemory memory(base, bytes);
  const TX86CodeModel64 model;
  const auto direct = model.CallAt(memory, base, base + 5);
  ASSERT_TRUE(direct.has_value());
  EXPECT_TRUE(direct->hasTarget);
  EXPECT_EQ(direct->target, base + 5 + 0x100);
  const auto throughPointer = model.CallAt(memory, base + 5, base + 11);
  ASSERT_TRUE(throughPointer.has_value());
  EXPECT_EQ(throughPointer->target, pointee);
  const auto throughRegister = model.CallAt(memory, base + 11, base + 13);
  ASSERT_TRUE(throughRegister.has_value());
  EXPECT_FALSE(throughRegister->hasTarget);
  // A call must end exactly at the return address.
  EXPECT_FALSE(model.CallAt(memory, base, base + 6).has_value());
  EXPECT_EQ(model.NextInstruction(memory, base + 5), base + 11);
  EXPECT_FALSE(model.AnalyseFunction(memory, base, TParseOptions{}).IsValid);
}

}  // namespace
}  // namespace ruvex
