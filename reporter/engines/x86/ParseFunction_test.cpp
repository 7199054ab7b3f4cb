#include "reporter/engines/x86/ParseFunction.h"

#include <gtest/gtest.h>

#include <map>

namespace ruvex {
namespace {

constexpr Address kBase = 0x401000;

// Code bytes placed at offsets from kBase, the rest int3 padding.
TBufferMemory Code(const std::map<unsigned, std::vector<std::uint8_t>>& pieces, std::size_t size = 0x200) {
  std::vector<std::uint8_t> bytes(size, 0xCC);
  for (const auto& [offset, piece] : pieces) std::copy(piece.begin(), piece.end(), bytes.begin() + offset);
  return TBufferMemory(kBase, bytes);
}

const TCodeArea* AreaAt(const TFunctionInfo& f, Address begin) {
  for (const TCodeArea& a : f.CodeAreas)
    if (a.AreaBegin == begin) return &a;
  return nullptr;
}

TEST(ParseFunction, JumpTableGivesOneAreaPerEntryAndACaseBlock) {
  TBufferMemory code = Code({
      {0x00, {0x83, 0xF8, 0x02}},                                // cmp eax, 2
      {0x03, {0x77, 0x1C}},                                      // ja $401021
      {0x05, {0xFF, 0x24, 0x85, 0x0C, 0x10, 0x40, 0x00}},        // jmp [eax*4+$40100c]
      {0x0C, {0x18, 0x10, 0x40, 0x00, 0x1B, 0x10, 0x40, 0x00, 0x1E, 0x10, 0x40, 0x00}},
      {0x18, {0xB0, 0x01, 0xC3}},                                // case 0
      {0x1B, {0xB0, 0x02, 0xC3}},                                // case 1
      {0x1E, {0xB0, 0x03, 0xC3}},                                // case 2
      {0x21, {0x31, 0xC0, 0xC3}},                                // default
  });
  TFunctionInfo f = ParseFunction(code, kBase);
  ASSERT_TRUE(f.IsValid) << f.LastErrorStr;
  EXPECT_EQ(f.CodeBegin, kBase);
  EXPECT_EQ(f.CodeLen, 0x24);
  EXPECT_EQ(f.CodeAreas.size(), 6u);
  const TCodeArea* table = AreaAt(f, 0x40100C);
  ASSERT_NE(table, nullptr);
  EXPECT_TRUE(table->CaseBlock);
  EXPECT_EQ(table->AreaEnd, 0x401017u);
  for (Address entry : {0x401018, 0x40101B, 0x40101E}) {
    const TCodeArea* a = AreaAt(f, entry);
    ASSERT_NE(a, nullptr) << std::hex << entry;
    EXPECT_EQ(a->AreaEnd, entry + 2);
    EXPECT_EQ(a->CalledFrom, 0x401005u);
  }
  EXPECT_EQ(AreaAt(f, 0x401021)->CalledFrom, 0x401003u);
  EXPECT_TRUE(f.UnknownTargets.empty());
}

TEST(ParseFunction, JumpTableCountOutsideZeroTo127IsNotATable) {
  TBufferMemory code = Code({
      {0x00, {0x83, 0xF8, 0xFF}},                          // cmp eax, -1
      {0x03, {0x77, 0x10}},
      {0x05, {0xFF, 0x24, 0x85, 0x0C, 0x10, 0x40, 0x00}},
      {0x15, {0xC3}},
  });
  TFunctionInfo f = ParseFunction(code, kBase);
  ASSERT_TRUE(f.IsValid);
  for (const TCodeArea& a : f.CodeAreas) EXPECT_FALSE(a.CaseBlock);
  ASSERT_EQ(f.UnknownTargets.size(), 1u);
  EXPECT_EQ(f.UnknownTargets[0].CodeAddr1, 0x401005u);
}

TEST(ParseFunction, ExceptionFrameAndTypedHandlerTable) {
  TRuntimeRoutines rt;
  rt.handleOnException = 0x401180;
  TParseOptions options;
  options.runtime = rt;
  TBufferMemory code = Code({
      {0x00, {0x33, 0xC0}},                          // xor eax, eax
      {0x02, {0x55}},                                // push ebp
      {0x03, {0x68, 0x20, 0x10, 0x40, 0x00}},        // push $401020
      {0x08, {0x64, 0xFF, 0x30}},                    // push dword ptr fs:[eax]
      {0x0B, {0x64, 0x89, 0x20}},                    // mov fs:[eax], esp
      {0x0E, {0xC3}},
      {0x20, {0xE9, 0x5B, 0x01, 0x00, 0x00}},        // jmp $401180 (typed handler)
      {0x25, {0x01, 0x00, 0x00, 0x00, 0x00, 0x11, 0x40, 0x00, 0x40, 0x10, 0x40, 0x00}},
      {0x40, {0xC3}},
      {0x180, {0xC3}},
  });
  TFunctionInfo f = ParseFunction(code, kBase, options);
  ASSERT_TRUE(f.IsValid) << f.LastErrorStr << std::hex << f.LastErrorAddr;
  ASSERT_NE(AreaAt(f, 0x401020), nullptr);
  const TCodeArea* table = AreaAt(f, 0x401025);
  ASSERT_NE(table, nullptr);
  EXPECT_TRUE(table->OnExceptBlock);
  EXPECT_EQ(table->AreaEnd, 0x401030u);
  ASSERT_NE(AreaAt(f, 0x401040), nullptr);
  // The runtime enters both: the frame's handler and the table's.
  EXPECT_TRUE(AreaAt(f, 0x401020)->HandlerEntry);
  EXPECT_TRUE(AreaAt(f, 0x401040)->HandlerEntry);
  EXPECT_FALSE(AreaAt(f, kBase)->HandlerEntry);
  ASSERT_EQ(f.FarCalls.size(), 1u);
  EXPECT_TRUE(f.FarCalls[0].RuntimeHandler);
  EXPECT_EQ(f.FarCalls[0].Target, 0x401180u);
}

TEST(ParseFunction, FrameHandlerOutsideTheModuleIsNotFollowed) {
  TBufferMemory code = Code({
      {0x00, {0x33, 0xC0}},                          // xor eax, eax
      {0x02, {0x68, 0x00, 0x00, 0x50, 0x00}},        // push $500000: no code of this module
      {0x07, {0x64, 0xFF, 0x30}},                    // push dword ptr fs:[eax]
      {0x0A, {0x64, 0x89, 0x20}},                    // mov fs:[eax], esp
      {0x0D, {0xC3}},
  });
  TFunctionInfo f = ParseFunction(code, kBase);
  ASSERT_TRUE(f.IsValid) << std::hex << f.LastErrorAddr;
  EXPECT_EQ(f.CodeAreas.size(), 1u);
  EXPECT_EQ(f.CodeLen, 0x0E);
}

// The frame handler stub of C++ code: mov eax, descriptor; jmp to the
// C++ exception-handling routine. The descriptor's kind says where its
// handlers are.
TEST(ParseFunction, CxxDescriptorBeforeTheFrameHandlerGivesHandlerAreas) {
  constexpr Address kFrameHandler = 0x77001000;
  TParseOptions options;
  options.runtime.cxxFrameHandler = kFrameHandler;
  struct TCase {
    std::uint16_t kind;
    std::map<unsigned, std::vector<std::uint8_t>> descriptor;  // pieces of the data at $401100
  };
  const TCase cases[] = {
      {0, {{0x10A, {0x00, 0x00, 0x60, 0x10, 0x40, 0x00}}}},                          // kind 0: pointer at 12
      {1, {{0x10A, {0x01, 0x00}}, {0x110, {0x60, 0x10, 0x40, 0x00}}}},               // kind 1: pointer at 16
      {3, {{0x10A, {0x03, 0x00, 0x40, 0x11, 0x40, 0x00}},                            // kind 3: list at $401140
           {0x148, {0x60, 0x10, 0x40, 0x00}}, {0x15C, {0x70, 0x10, 0x40, 0x00}}}},   // two handlers, then 0
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.kind);
    std::map<unsigned, std::vector<std::uint8_t>> pieces = c.descriptor;
    pieces[0x00] = {0xB8, 0x00, 0x11, 0x40, 0x00};  // mov eax, $401100
    pieces[0x05] = {0xE9, 0xF6, 0xFF, 0xBF, 0x76};  // jmp $77001000
    pieces[0x60] = {0xC3};
    pieces[0x70] = {0xC3};
    pieces[0x170] = {0, 0, 0, 0};
    TBufferMemory code = Code(pieces);
    TFunctionInfo f = ParseFunction(code, kBase, options);
    ASSERT_TRUE(f.IsValid) << std::hex << f.LastErrorAddr;
    ASSERT_NE(AreaAt(f, 0x401060), nullptr);
    EXPECT_TRUE(AreaAt(f, 0x401060)->HandlerEntry);
    EXPECT_EQ(AreaAt(f, 0x401070) != nullptr, c.kind == 3);
  }
}

TEST(ParseFunction, EveryUnknownTargetIsRevisited) {
  // Two unresolved jumps; a later branch into each knows the register it
  // uses. The last one leads into decoded code, the first to new code.
  TBufferMemory code = Code({
      {0x00, {0x90}},                          // nop
      {0x01, {0x74, 0x02}},                    // jz $401005
      {0x03, {0xFF, 0xE0}},                    // jmp eax
      {0x05, {0x74, 0x02}},                    // jz $401009
      {0x07, {0xFF, 0xE1}},                    // jmp ecx
      {0x09, {0xB8, 0x20, 0x10, 0x40, 0x00}},  // mov eax, $401020
      {0x0E, {0x74, 0x02}},                    // jz $401012
      {0x10, {0xEB, 0xF1}},                    // jmp $401003, eax known
      {0x12, {0xB9, 0x01, 0x10, 0x40, 0x00}},  // mov ecx, $401001
      {0x17, {0xEB, 0xEE}},                    // jmp $401007, ecx known
      {0x20, {0xC3}},
  });
  TFunctionInfo f = ParseFunction(code, kBase);
  ASSERT_TRUE(f.IsValid) << std::hex << f.LastErrorAddr;
  ASSERT_NE(AreaAt(f, 0x401001), nullptr);  // jmp ecx split the entry area
  EXPECT_NE(AreaAt(f, 0x401020), nullptr);  // jmp eax, revisited after it
  EXPECT_TRUE(f.UnknownTargets.empty());
}

TEST(ParseFunction, CallsOfTheMessageDispatcherLeadToAnUnknownPlace) {
  TParseOptions options;
  options.messageDispatch = 0x77002000;
  TBufferMemory code = Code({
      {0x00, {0xE8, 0xFB, 0x0F, 0xC0, 0x76}},  // call $77002000
      {0x05, {0xE8, 0xF6, 0x1F, 0xC0, 0x76}},  // call $77003000
      {0x0A, {0xC3}},
  });
  TFunctionInfo f = ParseFunction(code, kBase, options);
  ASSERT_TRUE(f.IsValid);
  EXPECT_EQ(f.FarCalls.size(), 2u);
  ASSERT_EQ(f.UnknownTargets.size(), 1u);
  EXPECT_TRUE(f.UnknownTargets[0].Call);
  EXPECT_EQ(f.UnknownTargets[0].CodeAddr1, kBase);
  EXPECT_EQ(f.UnknownTargets[0].CodeAddr2, kBase + 5);
}

TEST(ParseFunction, RegisterStateResolvesAJumpAndSplitsTheArea) {
  TBufferMemory code = Code({
      {0x00, {0xB8, 0x10, 0x10, 0x40, 0x00}},  // mov eax, $401010
      {0x05, {0xFF, 0xE0}},                    // jmp eax
      {0x10, {0xC3}},
  });
  TFunctionInfo f = ParseFunction(code, kBase);
  ASSERT_TRUE(f.IsValid);
  ASSERT_NE(AreaAt(f, 0x401005), nullptr);
  EXPECT_EQ(AreaAt(f, 0x401005)->Registers[kEax], 0x401010u);
  ASSERT_NE(AreaAt(f, 0x401010), nullptr);
  EXPECT_TRUE(f.UnknownTargets.empty());
}

TEST(ParseFunction, UnknownJumpContinuesInTheGapOnly) {
  // jmp [ecx]; the code after it is reached only by an unknown path, and
  // a later branch from the first area leads behind a gap.
  TBufferMemory code = Code({
      {0x00, {0x74, 0x04}},        // jz $401006
      {0x02, {0xFF, 0x21}},        // jmp [ecx]
      {0x04, {0x90, 0xC3}},        // the gap: nop; ret
      {0x06, {0xC3}},
  });
  TFunctionInfo f = ParseFunction(code, kBase);
  ASSERT_TRUE(f.IsValid);
  ASSERT_NE(AreaAt(f, 0x401004), nullptr);
  EXPECT_EQ(f.CodeLen, 7);
  ASSERT_EQ(f.UnknownTargets.size(), 1u);
  EXPECT_FALSE(f.UnknownTargets[0].Call);
}

TEST(ParseFunction, FarCallsAndTheTerminationRoutine) {
  TParseOptions options;
  options.runtime.halt0 = 0x401100;
  TBufferMemory code = Code({
      {0x00, {0xE8, 0xFB, 0x00, 0x00, 0x00}},  // call $401100 (halt)
      {0x05, {0x0F, 0x0A}},                    // never reached: invalid bytes
      {0x100, {0xC3}},
  });
  TFunctionInfo f = ParseFunction(code, kBase, options);
  ASSERT_TRUE(f.IsValid);
  ASSERT_EQ(f.FarCalls.size(), 1u);
  EXPECT_TRUE(f.FarCalls[0].Call);
  EXPECT_EQ(f.FarCalls[0].CodeAddr2, 0x401005u);
  EXPECT_EQ(f.FarCalls[0].RelTarget, 0x401001u);
  EXPECT_EQ(f.CodeLen, 5);
}

TEST(ParseFunction, TheTerminationRoutineThroughAnImportThunk) {
  TParseOptions options;
  options.runtime.halt0 = 0x77005000;
  TBufferMemory code = Code({
      {0x00, {0xE8, 0xFB, 0x00, 0x00, 0x00}},              // call $401100
      {0x05, {0x0F, 0x0A}},                                // never reached: invalid bytes
      {0x100, {0xFF, 0x25, 0x80, 0x11, 0x40, 0x00}},       // jmp dword ptr [$401180]
      {0x180, {0x00, 0x50, 0x00, 0x77}},                   // the import: $77005000
  });
  TFunctionInfo f = ParseFunction(code, kBase, options);
  ASSERT_TRUE(f.IsValid) << std::hex << f.LastErrorAddr;
  EXPECT_EQ(f.CodeLen, 5);
}

TEST(ParseFunction, LoopBackIntoTheAreaBeingDecoded) {
  // mov eax, edx; loop: add eax, 1; cmp byte ptr [eax], 0; jnz loop; sub eax, edx; ret
  TBufferMemory code = Code({{0x00, {0x8B, 0xC2, 0x83, 0xC0, 0x01, 0x80, 0x38, 0x00, 0x75, 0xF8, 0x2B, 0xC2, 0xC3}}});
  TFunctionInfo f = ParseFunction(code, kBase);
  ASSERT_TRUE(f.IsValid);
  EXPECT_EQ(f.CodeLen, 13);
  ASSERT_EQ(f.CodeAreas.size(), 2u);
  EXPECT_EQ(f.CodeAreas[0].AreaEnd, 0x401001u);
  EXPECT_EQ(AreaAt(f, 0x401002)->AreaEnd, 0x40100Cu);
  EXPECT_TRUE(AreaAt(f, 0x401002)->JumpTarget);
}

TEST(ParseFunction, Ud2EndsItsArea) {
  TBufferMemory code = Code({{0x00, {0x85, 0xC0, 0x75, 0x02, 0x0F, 0x0B, 0xC3}}});
  TFunctionInfo f = ParseFunction(code, kBase);
  ASSERT_TRUE(f.IsValid);
  EXPECT_EQ(f.CodeLen, 7);
}

TEST(ParseFunction, Errors) {
  TBufferMemory code = Code({{0x00, {0x55, 0x0F, 0x0A}}});
  TFunctionInfo uncommitted = ParseFunction(code, 0x500000);
  EXPECT_FALSE(uncommitted.IsValid);
  EXPECT_EQ(uncommitted.LastErrorNo, 87u);
  EXPECT_EQ(uncommitted.LastErrorAddr, 0x500000u);
  EXPECT_FALSE(uncommitted.LastErrorStr.empty());

  TFunctionInfo invalid = ParseFunction(code, kBase);
  EXPECT_FALSE(invalid.IsValid);
  EXPECT_EQ(invalid.LastErrorNo, 0x770001u);
  EXPECT_EQ(invalid.LastErrorAddr, 0x401001u);
  EXPECT_EQ(invalid.LastErrorStr, "Invalid code!");

  // A jump into the middle of an instruction.
  TBufferMemory overlap = Code({{0x00, {0xB8, 0xEB, 0xFD, 0x90, 0x90, 0x74, 0xFA, 0xC3}}});
  EXPECT_FALSE(ParseFunction(overlap, kBase).IsValid);

  // Runaway code: int3 padding without end is capped, never followed forever.
  TParseOptions small;
  small.maxInstructions = 100;
  TBufferMemory endless(kBase, std::vector<std::uint8_t>(0x1000, 0x90));
  EXPECT_FALSE(ParseFunction(endless, kBase, small).IsValid);
}

TEST(ParseFunction, Interceptable) {
  struct TCase {
    std::vector<std::uint8_t> bytes;
    bool interceptable;
  };
  const TCase cases[] = {
      {{0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x08, 0xC9, 0xC3}, true},  // push ebp; mov ebp, esp; sub esp, 8
      {{0x55, 0x8B, 0xEC, 0x5D, 0xC3}, false},                   // only 5 bytes
      {{0x85, 0xC0, 0x74, 0x04, 0x90, 0x90, 0x90, 0x90, 0xC3}, true},   // a short jz can be widened
      {{0x85, 0xC0, 0xE3, 0x04, 0x90, 0x90, 0x90, 0x90, 0xC3}, false},  // jecxz cannot
      {{0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x5D, 0xC3}, true},
  };
  for (const TCase& c : cases) {
    TBufferMemory code = Code({{0x00, c.bytes}});
    TFunctionInfo f = ParseFunction(code, kBase);
    ASSERT_TRUE(f.IsValid);
    EXPECT_EQ(f.Interceptable, c.interceptable) << int(c.bytes[0]) << " " << c.bytes.size();
  }
}

}  // namespace
}  // namespace ruvex
