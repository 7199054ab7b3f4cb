#include "reporter/core/hooks/patches/CodeRedirect.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

TEST(CodeRedirect, JumpBytesPickTheShortFormWhereItReaches) {
  struct TCase {
    Address from, to;
    bool code64;
    TBytes bytes;
  } cases[] = {
      {0x401000, 0x402000, false, {0xE9, 0xFB, 0x0F, 0, 0}},
      {0x402000, 0x401000, false, {0xE9, 0xFB, 0xEF, 0xFF, 0xFF}},
      {0x140001000, 0x140002000, true, {0xE9, 0xFB, 0x0F, 0, 0}},
      // Beyond 2 GB in 64-bit code: jmp [rip+0] and the absolute target.
      {0x7FFA00001000, 0x140002000, true, {0xFF, 0x25, 0, 0, 0, 0, 0x00, 0x20, 0x00, 0x40, 0x01, 0, 0, 0}},
  };
  for (const TCase& c : cases) EXPECT_EQ(JumpBytes(c.from, c.to, c.code64), c.bytes) << std::hex << c.from;
}

constexpr Address kBase = 0x401000;
const TBytes kPrologue32 = {0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x10, 0x8B, 0x45, 0x08, 0xC9, 0xC3};
const TBytes kPrologue64 = {0x48, 0x89, 0x5C, 0x24, 0x08, 0x57, 0x48, 0x83, 0xEC, 0x20, 0x48,
                            0x8B, 0xD9, 0x33, 0xC0, 0x48, 0x83, 0xC4, 0x20, 0x5F, 0xC3};

TBytes Padded(TBytes code) {
  code.resize(0x1000, 0xCC);
  return code;
}

TEST(CodeRedirect, OnlyFunctionsThatHoldTheJumpAreRedirected) {
  struct TCase {
    const char* what;
    bool code64;
    TBytes code;
    bool redirected;
  } cases[] = {
      {"32-bit prologue", false, kPrologue32, true},
      {"32-bit stub shorter than the jump", false, {0x33, 0xC0, 0xC3}, false},
      {"32-bit loop back into the patched bytes", false, {0x55, 0x8B, 0xEC, 0x49, 0x75, 0xFD, 0x5D, 0xC3}, false},
      {"64-bit prologue", true, kPrologue64, true},
      {"64-bit stub shorter than the jump", true, {0x33, 0xC0, 0xC3}, false},
  };
  for (const TCase& c : cases) {
    TFakeMemoryPatcher memory(kBase, Padded(c.code));
    TPatchList patches(memory);
    // Far enough for the 64-bit absolute form.
    const Address target = c.code64 ? 0x7FF000000000 : 0x500000;
    const TPatchResult result = RedirectFunction(patches, memory, kBase, target, c.code64);
    EXPECT_EQ(result == TPatchResult::applied, c.redirected) << c.what;
    if (!c.redirected) {
      EXPECT_EQ(memory.Bytes(), Padded(c.code)) << c.what;
    } else {
      const TBytes jump = JumpBytes(kBase, target, c.code64);
      EXPECT_EQ(TBytes(memory.Bytes().begin(), memory.Bytes().begin() + jump.size()), jump) << c.what;
      EXPECT_EQ(RedirectFunction(patches, memory, kBase, target, c.code64), TPatchResult::alreadyInPlace);
    }
  }
}

TEST(CodeRedirect, HookedFunctionsKeepTheirOriginalBehindAStub) {
  struct TCase {
    const char* what;
    bool code64;
    TBytes code;
    std::size_t moved;  // bytes of whole instructions that go to the stub; 0: not hooked
  } cases[] = {
      {"32-bit prologue", false, kPrologue32, 6},
      {"32-bit call in the first bytes", false, {0xE8, 0, 0, 0, 0, 0x55, 0x8B, 0xEC, 0x5D, 0xC3}, 0},
      {"64-bit prologue", true, kPrologue64, 5},
      {"64-bit RIP-relative load", true,
       {0x48, 0x8B, 0x05, 0x10, 0, 0, 0, 0x48, 0x83, 0xEC, 0x20, 0x48, 0x8B, 0xD9, 0x48, 0x83, 0xC4, 0x20, 0xC3}, 0},
  };
  for (const TCase& c : cases) {
    TFakeMemoryPatcher memory(kBase, Padded(c.code));
    TPatchList patches(memory);
    const Address target = c.code64 ? 0x7FF000000000 : 0x500000;
    const Address stub = HookFunction(patches, memory, kBase, target, c.code64);
    if (!c.moved) {
      EXPECT_EQ(stub, 0u) << c.what;
      EXPECT_EQ(memory.Bytes(), Padded(c.code)) << c.what;
      EXPECT_TRUE(memory.codeBlocks.empty()) << c.what;
      continue;
    }
    ASSERT_NE(stub, 0u) << c.what;
    // The entry jumps to the relay, the relay to the hook, the stub back.
    ASSERT_EQ(memory.codeBlocks.size(), 1u);
    const Address block = memory.codeBlocks.begin()->first;
    const TBytes& blockBytes = memory.codeBlocks.begin()->second;
    EXPECT_EQ(TBytes(memory.Bytes().begin(), memory.Bytes().begin() + 5), JumpBytes(kBase, block, c.code64)) << c.what;
    const TBytes relay = JumpBytes(block, target, c.code64);
    EXPECT_EQ(TBytes(blockBytes.begin(), blockBytes.begin() + relay.size()), relay) << c.what;
    const std::size_t at = static_cast<std::size_t>(stub - block);
    EXPECT_EQ(TBytes(blockBytes.begin() + at, blockBytes.begin() + at + c.moved),
              TBytes(c.code.begin(), c.code.begin() + c.moved))
        << c.what;
    const TBytes back = JumpBytes(stub + c.moved, kBase + c.moved, c.code64);
    EXPECT_EQ(TBytes(blockBytes.begin() + at + c.moved, blockBytes.begin() + at + c.moved + back.size()), back)
        << c.what;
    // Undone, the function is whole again and the stub goes with the patch.
    patches.UndoAll();
    EXPECT_EQ(memory.Bytes(), Padded(c.code)) << c.what;
    EXPECT_TRUE(memory.codeBlocks.empty()) << c.what;
  }
}

}  // namespace
}  // namespace ruvex
