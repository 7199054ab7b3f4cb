#include "reporter/core/hooks/patches/PatchList.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

constexpr Address kBase = 0x401000;

TBytes Code() {
  TBytes bytes(0x2000, 0x90);
  bytes[0x10] = 0x55;
  return bytes;
}

TBytes At(const TFakeMemoryPatcher& m, Address a, std::size_t n) {
  TBytes out(n);
  EXPECT_TRUE(m.Read(a, out.data(), n));
  return out;
}

TEST(PatchList, WritesOnlyChangesAndPutsTheProtectionBack) {
  TFakeMemoryPatcher memory(kBase, Code());
  TPatchList patches(memory);
  // The page stays read-only around the write and the code cache is told.
  EXPECT_EQ(patches.Apply(kBase + 0x10, {0xE9, 1, 2, 3, 4}), TPatchResult::applied);
  EXPECT_EQ(At(memory, kBase + 0x10, 5), (TBytes{0xE9, 1, 2, 3, 4}));
  EXPECT_EQ(memory.ProtectionAt(kBase + 0x10), TFakeMemoryPatcher::kReadOnly);
  EXPECT_EQ(memory.flushes, 1);
  ASSERT_EQ(patches.Patches().size(), 1u);
  EXPECT_EQ(patches.Patches()[0].originalBytes, (TBytes{0x55, 0x90, 0x90, 0x90, 0x90}));

  // Bytes already in place: nothing written, nothing recorded to undo.
  EXPECT_EQ(patches.Apply(kBase + 0x100, {0x90, 0x90}), TPatchResult::alreadyInPlace);
  EXPECT_EQ(memory.flushes, 1);
  EXPECT_EQ(patches.Patches().size(), 1u);
}

TEST(PatchList, ARefusedPageIsSkippedAndItsStubFreed) {
  TFakeMemoryPatcher memory(kBase, Code());
  TPatchList patches(memory);
  memory.Lock(kBase + 0x1000);
  const Address stub = memory.AllocateCode(16);
  // Straddling into the locked page fails as a whole.
  EXPECT_EQ(patches.Apply(kBase + 0xFFE, {1, 2, 3, 4}, stub), TPatchResult::failed);
  EXPECT_EQ(At(memory, kBase + 0xFFE, 4), (TBytes{0x90, 0x90, 0x90, 0x90}));
  EXPECT_TRUE(memory.codeBlocks.empty());
  EXPECT_EQ(patches.Apply(kBase + 0x3000, {1}), TPatchResult::failed);  // outside memory
  EXPECT_TRUE(patches.Patches().empty());
}

TEST(PatchList, UndoRestoresOnlyWhereThePatchIsStillInMemory) {
  TFakeMemoryPatcher memory(kBase, Code());
  const TBytes before = memory.Bytes();
  TPatchList patches(memory);
  const Address keptStub = memory.AllocateCode(16), freedStub = memory.AllocateCode(16);
  ASSERT_EQ(patches.Apply(kBase + 0x10, {0xE9, 1, 2, 3, 4}, freedStub), TPatchResult::applied);
  ASSERT_EQ(patches.Apply(kBase + 0x40, {0xE9, 5, 6, 7, 8}, keptStub), TPatchResult::applied);
  // Two patches of one place unwind newest first, back to the very original.
  ASSERT_EQ(patches.Apply(kBase + 0x80, {0xAA}), TPatchResult::applied);
  ASSERT_EQ(patches.Apply(kBase + 0x80, {0xBB}), TPatchResult::applied);

  // Someone else patched over the second one since.
  auto old = memory.MakeWritable(kBase + 0x40, 1);
  const std::uint8_t theirs = 0xCC;
  memory.Write(kBase + 0x40, &theirs, 1);
  memory.RestoreProtection(kBase + 0x40, 1, *old);

  patches.UndoAll();
  TBytes expected = before;
  expected[0x40] = 0xCC;
  for (int i = 1; i < 5; ++i) expected[0x40 + i] = static_cast<std::uint8_t>(4 + i);
  EXPECT_EQ(memory.Bytes(), expected);
  EXPECT_EQ(memory.codeBlocks.count(freedStub), 0u);
  EXPECT_EQ(memory.codeBlocks.count(keptStub), 1u);  // their code may still jump into it
  EXPECT_TRUE(patches.Patches().empty());
  EXPECT_EQ(memory.ProtectionAt(kBase), TFakeMemoryPatcher::kReadOnly);
}

TEST(PatchList, UndoOfOnePatch) {
  TFakeMemoryPatcher memory(kBase, Code());
  TPatchList patches(memory);
  ASSERT_EQ(patches.Apply(kBase + 0x10, {1, 2}), TPatchResult::applied);
  EXPECT_FALSE(patches.Undo(kBase + 0x20));
  EXPECT_TRUE(patches.Undo(kBase + 0x10));
  EXPECT_EQ(memory.Bytes(), Code());
  EXPECT_FALSE(patches.Undo(kBase + 0x10));
}

}  // namespace
}  // namespace ruvex
