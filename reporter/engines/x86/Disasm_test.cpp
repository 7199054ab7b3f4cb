#include "reporter/engines/x86/Disasm.h"

#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "reporter/engines/x86/InstrText.h"

namespace ruvex {
namespace {

constexpr Address kBase = 0x401000;

std::string Text(std::vector<std::uint8_t> bytes, TInstrInfo* out = nullptr) {
  TBufferMemory memory(kBase, std::move(bytes));
  TInstrInfo info;
  std::u16string line = InstrText(memory, kBase, nullptr, info);
  if (out) *out = info;
  return kelvane::Utf16ToUtf8(line);
}

TEST(DecodeInstr, TextLengthAndClassOfTypicalInstructions) {
  struct TCase {
    std::vector<std::uint8_t> bytes;
    unsigned length;
    const char* text;  // after the address and its three blanks
  };
  const TCase cases[] = {
      {{0x55}, 1, "push    ebp"},
      {{0x8B, 0xEC}, 2, "mov     ebp, esp"},
      {{0x83, 0xEC, 0x10}, 3, "sub     esp, $10"},
      {{0x83, 0xC4, 0xF8}, 3, "add     esp, -8"},
      {{0x81, 0xE9, 0x00, 0x01, 0x00, 0x00}, 6, "sub     ecx, $100"},
      {{0x8B, 0x45, 0xF8}, 3, "mov     eax, [ebp-8]"},
      {{0x8B, 0x44, 0x24, 0x10}, 4, "mov     eax, [esp+$10]"},
      {{0x8B, 0x04, 0x8D, 0x00, 0x20, 0x40, 0x00}, 7, "mov     eax, [ecx*4+$402000]"},
      {{0xC7, 0x45, 0xFC, 0x05, 0x00, 0x00, 0x00}, 7, "mov     dword ptr [ebp-4], 5"},
      {{0x66, 0xC7, 0x00, 0x34, 0x12}, 5, "mov     word ptr [eax], $1234"},
      {{0x64, 0xA1, 0x00, 0x00, 0x00, 0x00}, 6, "mov     eax, fs:[0]"},
      {{0x64, 0xFF, 0x30}, 3, "push    dword ptr fs:[eax]"},
      {{0x6A, 0xFF}, 2, "push    $ffffffff"},
      {{0x0F, 0xB6, 0x45, 0x08}, 4, "movzx   eax, byte ptr [ebp+8]"},
      {{0xD1, 0xE0}, 2, "shl     eax, 1"},
      {{0xD3, 0xE8}, 2, "shr     eax, cl"},
      {{0xF3, 0xA5}, 2, "rep movsd"},
      {{0xF0, 0x0F, 0xC1, 0x01}, 4, "lock xadd [ecx], eax"},
      {{0x0F, 0x94, 0xC0}, 3, "setz    al"},
      {{0x0F, 0x4F, 0xC1}, 3, "cmovg   eax, ecx"},
      {{0xCC}, 1, "int     3"},
      {{0xC2, 0x08, 0x00}, 3, "ret     8"},
      {{0xC8, 0x10, 0x00, 0x01}, 4, "enter   $10, 1"},
      {{0xD4, 0x0A}, 2, "aam"},
      {{0xEC}, 1, "in      al, dx"},
      {{0xEF}, 1, "out     dx, eax"},
      {{0x0F, 0x0B}, 2, "ud2"},
      {{0x0F, 0x1F, 0x44, 0x00, 0x00}, 5, "nop     dword ptr [eax+eax]"},
      {{0x66, 0x0F, 0x1F, 0x44, 0x00, 0x00}, 6, "nop     word ptr [eax+eax]"},
      // x87: D8 in the hardware's order, DC reversed.
      {{0xD8, 0xE1}, 2, "fsub    st, st(1)"},
      {{0xD8, 0xE9}, 2, "fsubr   st, st(1)"},
      {{0xDC, 0xE1}, 2, "fsubr   st(1), st"},
      {{0xDC, 0xE9}, 2, "fsub    st(1), st"},
      {{0xDD, 0x45, 0x08}, 3, "fld     qword ptr [ebp+8]"},
      {{0xD9, 0xE8}, 2, "fld1"},
      {{0xDF, 0xE0}, 2, "fnstsw  ax"},
      {{0xDE, 0xC1}, 2, "faddp   st(1), st"},
      {{0xDB, 0x2D, 0x00, 0x30, 0x40, 0x00}, 6, "fld     tbyte ptr [$403000]"},
      // SSE variants chosen by prefix.
      {{0x0F, 0x58, 0xC1}, 3, "addps   xmm0, xmm1"},
      {{0x66, 0x0F, 0x58, 0xC1}, 4, "addpd   xmm0, xmm1"},
      {{0xF2, 0x0F, 0x58, 0xC1}, 4, "addsd   xmm0, xmm1"},
      {{0xF3, 0x0F, 0x58, 0xC1}, 4, "addss   xmm0, xmm1"},
      {{0xF3, 0x0F, 0x6F, 0x06}, 4, "movdqu  xmm0, [esi]"},
      {{0x66, 0x0F, 0x6F, 0xC1}, 4, "movdqa  xmm0, xmm1"},
      {{0x0F, 0x6F, 0xC1}, 3, "movq    mm0, mm1"},
      {{0xF2, 0x0F, 0x2A, 0xC0}, 4, "cvtsi2sd xmm0, eax"},
      {{0xF3, 0x0F, 0x2C, 0xC1}, 4, "cvttss2si eax, xmm1"},
      {{0x66, 0x0F, 0xD6, 0x07}, 4, "movq    [edi], xmm0"},
      {{0xF3, 0x0F, 0x7E, 0xC1}, 4, "movq    xmm0, xmm1"},
      {{0x0F, 0x12, 0xC1}, 3, "movhlps xmm0, xmm1"},
      {{0x0F, 0x12, 0x06}, 3, "movlps  xmm0, [esi]"},
      {{0xF2, 0x0F, 0x7C, 0xC1}, 4, "haddps  xmm0, xmm1"},
      {{0x66, 0x0F, 0x73, 0xD8, 0x04}, 5, "psrldq  xmm0, 4"},
      {{0x0F, 0xAE, 0xF8}, 3, "sfence"},
      {{0x0F, 0xAE, 0x38}, 3, "clflush [eax]"},
      // Register forms of 0F 01 field 7 (AMD and later system operations).
      {{0x0F, 0x01, 0xF9}, 3, "rdtscp"},
      {{0x0F, 0x01, 0xFC}, 3, "clzero"},
      {{0xDE, 0xD9}, 2, "fcompp"},
      // 3DNow!: the operation comes from the suffix byte.
      {{0x0F, 0x0F, 0xC1, 0x9E}, 4, "pfadd   mm0, mm1"},
      {{0x0F, 0x0F, 0x06, 0xB4}, 4, "pfmul   mm0, [esi]"},
  };
  for (const TCase& c : cases) {
    TInstrInfo info;
    std::string line = Text(c.bytes, &info);
    EXPECT_TRUE(info.valid) << c.text;
    EXPECT_EQ(info.detail.length, c.length) << c.text;
    EXPECT_EQ(line, std::string("00401000   ") + c.text);
  }
}

TEST(DecodeInstr, InvalidEncodings) {
  const std::vector<std::vector<std::uint8_t>> cases = {
      {0x0F, 0x0A},              // no such opcode
      {0x8D, 0xC0},              // lea needs memory
      {0x8E, 0xC8},              // mov cs, eax
      {0xFF, 0xD8},              // far call needs memory
      {0xFF, 0xF8},              // FF /7
      {0xFE, 0xD0},              // FE /2
      {0xD9, 0xD1},              // D9 D1
      {0xDF, 0xE1},              // DF E1
      {0x0F, 0x20, 0xC8},        // cr1
      {0x0F, 0x0F, 0xC1, 0x00},  // 3DNow! without a known suffix
      {0x0F, 0x6C, 0xC1},        // punpcklqdq needs 0x66
      {0xF3, 0x0F, 0x28, 0xC1},  // movaps has no F3 form
      {0x0F, 0xF0, 0x06},        // lddqu needs F2
      {0x0F, 0xC7, 0xC8},        // cmpxchg8b needs memory
      {0x0F, 0x01, 0xF8},        // swapgs exists only in 64-bit mode
      {0x66, 0x0F, 0x01, 0xFA},  // monitorx takes no prefix
      {0xDE, 0xD8},              // only DE D9 (fcompp) of DE /3 exists
      {0xDE, 0xDA},
      {0x83},                    // cut short by the end of memory
      {0x8B, 0x05, 0x00, 0x10},  // displacement cut short
  };
  for (const auto& bytes : cases) {
    TInstrInfo info;
    std::string line = Text(bytes, &info);
    EXPECT_FALSE(info.valid) << line;
    char expected[32];
    std::snprintf(expected, sizeof expected, "00401000   db $%02x", bytes[0]);
    EXPECT_EQ(line, expected);
  }
}

TEST(DecodeInstr, AtMostFifteenBytes) {
  std::vector<std::uint8_t> bytes(14, 0x66);
  bytes.push_back(0x90);
  TBufferMemory fifteen(kBase, bytes);
  TInstrInfo info = DecodeInstr(fifteen, kBase);
  EXPECT_TRUE(info.valid);
  EXPECT_EQ(info.detail.length, 15);
  bytes.insert(bytes.begin(), 0x66);
  TBufferMemory sixteen(kBase, bytes);
  EXPECT_FALSE(DecodeInstr(sixteen, kBase).valid);
}

TEST(DecodeInstr, RelativeTargets) {
  struct TCase {
    std::vector<std::uint8_t> bytes;
    bool call, jump, extendable;
    Address target;
    unsigned width;
    const char* text;
  };
  const TCase cases[] = {
      {{0xE8, 0x0B, 0x00, 0x00, 0x00}, true, false, true, 0x401010, 4, "call    +$b ($401010)"},
      {{0xE9, 0xF6, 0xFF, 0xFF, 0xFF}, false, true, true, 0x400FFB, 4, "jmp     -$a ($400ffb)"},
      {{0xEB, 0xFE}, false, true, true, 0x401000, 1, "jmp     -2 ($401000)"},
      {{0x74, 0x05}, false, true, true, 0x401007, 1, "jz      +5 ($401007)"},
      {{0x0F, 0x87, 0x10, 0x00, 0x00, 0x00}, false, true, true, 0x401016, 4, "ja      +$10 ($401016)"},
      {{0xE2, 0xFC}, false, true, false, 0x400FFE, 1, "loop    -4 ($400ffe)"},
      {{0xE3, 0x02}, false, true, false, 0x401004, 1, "jecxz   +2 ($401004)"},
      // A call of the next instruction (pushing its address) is no call.
      {{0xE8, 0x00, 0x00, 0x00, 0x00}, false, false, false, 0, 0, "call    0 ($401005)"},
  };
  for (const TCase& c : cases) {
    TInstrInfo info;
    std::string line = Text(c.bytes, &info);
    EXPECT_EQ(line, std::string("00401000   ") + c.text);
    EXPECT_EQ(info.isCall, c.call) << c.text;
    EXPECT_EQ(info.isJump, c.jump) << c.text;
    EXPECT_EQ(info.extendable, c.extendable) << c.text;
    EXPECT_EQ(info.targetAddr, c.target) << c.text;
    EXPECT_EQ(info.targetWidth, c.width) << c.text;
    EXPECT_EQ(info.relativeTarget, c.target != 0) << c.text;
    if (c.target) {
      EXPECT_EQ(info.targetSlot, kBase + c.bytes.size() - c.width) << c.text;
    }
  }
}

TEST(DecodeInstr, IndirectTargetsThroughMemoryAndRegisters) {
  // call [$401010]; the pointer there holds $77001234.
  std::vector<std::uint8_t> bytes = {0xFF, 0x15, 0x10, 0x10, 0x40, 0x00};
  bytes.resize(0x14);
  bytes[0x10] = 0x34, bytes[0x11] = 0x12, bytes[0x12] = 0x00, bytes[0x13] = 0x77;
  TBufferMemory memory(kBase, bytes);
  TInstrInfo call = DecodeInstr(memory, kBase);
  EXPECT_TRUE(call.isCall);
  EXPECT_EQ(call.targetAddr, 0x77001234u);
  EXPECT_EQ(call.targetSlotPtr, kBase + 2);
  EXPECT_TRUE(call.extendable);

  // The same call through an unreadable pointer stays a call, target unknown.
  TBufferMemory unreadable(kBase, {0xFF, 0x15, 0x00, 0x00, 0x00, 0x10});
  TInstrInfo unknown = DecodeInstr(unreadable, kBase);
  EXPECT_TRUE(unknown.valid);
  EXPECT_TRUE(unknown.isCall);
  EXPECT_EQ(unknown.targetAddr, 0u);

  // Far indirect forms: a call and a jump without a target.
  TBufferMemory far(kBase, {0xFF, 0x1D, 0x10, 0x10, 0x40, 0x00, 0xFF, 0x2D, 0x10, 0x10, 0x40, 0x00});
  TInstrInfo farCall = DecodeInstr(far, kBase), farJump = DecodeInstr(far, kBase + 6);
  EXPECT_TRUE(farCall.isCall && farCall.valid && farCall.targetAddr == 0);
  EXPECT_TRUE(farJump.isJump && farJump.valid && farJump.targetAddr == 0);

  // mov eax, imm32; jmp eax; call [ecx] with ecx = eax.
  TBufferMemory code(kBase, {0xB8, 0x10, 0x10, 0x40, 0x00, 0xFF, 0xE0, 0x8B, 0xC8, 0xFF, 0x11,
                             0, 0, 0, 0, 0, 0x78, 0x56, 0x34, 0x12});
  TRegisters regs{};
  TInstrInfo mov = DecodeInstr(code, kBase, &regs);
  EXPECT_EQ(regs[kEax], 0x401010u);
  TInstrInfo jump = DecodeInstr(code, mov.nextAddr, &regs);
  EXPECT_EQ(jump.targetAddr, 0x401010u);
  EXPECT_EQ(jump.targetSlot, 0x401010u);
  TInstrInfo copy = DecodeInstr(code, jump.nextAddr, &regs);
  EXPECT_EQ(regs[kEcx], 0x401010u);
  TInstrInfo viaEcx = DecodeInstr(code, copy.nextAddr, &regs);
  EXPECT_EQ(viaEcx.targetSlotPtr, 0x401010u);
  EXPECT_EQ(viaEcx.targetAddr, 0x12345678u);
  // Without a register state the same jump has no target.
  EXPECT_EQ(DecodeInstr(code, mov.nextAddr).targetAddr, 0u);
}

TEST(DecodeInstr, RegisterTrackingForgetsWrittenRegisters) {
  struct TCase {
    std::vector<std::uint8_t> bytes;
    std::vector<int> forgotten;
  };
  const TCase cases[] = {
      {{0x40}, {kEax}},                          // inc eax
      {{0x03, 0xD8}, {kEbx}},                    // add ebx, eax
      {{0x8A, 0xE0}, {kEax}},                    // mov ah, al: ah is part of eax
      {{0x99}, {kEdx}},                          // cdq
      {{0xF7, 0xE1}, {kEax, kEdx}},              // mul ecx
      {{0x0F, 0xA2}, {kEax, kEcx, kEdx, kEbx}},  // cpuid
      {{0xF3, 0xAB}, {kEcx, kEsi, kEdi}},        // rep stosd
      {{0x61}, {kEax, kEcx, kEdx, kEbx, kEsp, kEbp, kEsi, kEdi}},  // popad
      {{0x0F, 0x01, 0xF9}, {kEax, kEcx, kEdx}},  // rdtscp
      {{0x39, 0xC8}, {}},                        // cmp eax, ecx writes nothing
      {{0x83, 0xF8, 0x05}, {}},                  // cmp eax, 5
  };
  for (const TCase& c : cases) {
    TRegisters regs{1, 2, 3, 4, 5, 6, 7, 8};
    TBufferMemory memory(kBase, c.bytes);
    ASSERT_TRUE(DecodeInstr(memory, kBase, &regs).valid);
    TRegisters expected{1, 2, 3, 4, 5, 6, 7, 8};
    for (int r : c.forgotten) expected[r] = 0;
    EXPECT_EQ(regs, expected) << int(c.bytes[0]);
  }
}

constexpr Address kBase64 = 0x140001000;

std::string Text64(std::vector<std::uint8_t> bytes, TInstrInfo& info) {
  TBufferMemory memory(kBase64, std::move(bytes));
  return kelvane::Utf16ToUtf8(InstrText64(memory, kBase64, info));
}

TEST(DecodeInstr64, RexRegistersOperandSizesAndLongModeForms) {
  struct TCase {
    std::vector<std::uint8_t> bytes;
    unsigned length;
    const char* text;
  };
  const TCase cases[] = {
      {{0x55}, 1, "push    rbp"},
      {{0x41, 0x57}, 2, "push    r15"},
      {{0x66, 0x50}, 2, "push    ax"},
      {{0x48, 0x89, 0xE5}, 3, "mov     rbp, rsp"},
      {{0x89, 0xE5}, 2, "mov     ebp, esp"},
      {{0x45, 0x31, 0xC9}, 3, "xor     r9d, r9d"},
      {{0x48, 0x83, 0xEC, 0x28}, 4, "sub     rsp, $28"},
      {{0x40, 0x88, 0xF7}, 3, "mov     dil, sil"},
      {{0x88, 0xF7}, 2, "mov     bh, dh"},
      {{0x44, 0x8A, 0x40, 0x08}, 4, "mov     r8b, [rax+8]"},
      {{0x66, 0x41, 0x89, 0x08}, 4, "mov     [r8], cx"},
      {{0x4C, 0x8D, 0x04, 0x91}, 4, "lea     r8, [rcx+rdx*4]"},
      {{0x4A, 0x8B, 0x04, 0xE5, 0x10, 0x00, 0x00, 0x00}, 8, "mov     rax, [r12*8+$10]"},
      {{0x42, 0x8B, 0x04, 0x20}, 4, "mov     eax, [rax+r12]"},
      {{0x49, 0x8B, 0x04, 0x24}, 4, "mov     rax, [r12]"},
      {{0x41, 0x8B, 0x45, 0x00}, 4, "mov     eax, [r13]"},
      {{0x67, 0x8B, 0x03}, 3, "mov     eax, [ebx]"},
      {{0x48, 0x8B, 0x05, 0x10, 0x00, 0x00, 0x00}, 7, "mov     rax, [rip+$10]"},
      {{0x48, 0xB8, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}, 10, "mov     rax, $1122334455667788"},
      {{0xB8, 0x01, 0x00, 0x00, 0x00}, 5, "mov     eax, 1"},
      {{0x48, 0xC7, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF}, 7, "mov     rax, $ffffffffffffffff"},
      {{0x48, 0x63, 0xC1}, 3, "movsxd  rax, ecx"},
      {{0xA1, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}, 9, "mov     eax, [$1122334455667788]"},
      {{0x48, 0x98}, 2, "cdqe"},
      {{0x48, 0x99}, 2, "cqo"},
      {{0xF3, 0x48, 0xA5}, 3, "rep movsq"},
      {{0x41, 0xFF, 0xC0}, 3, "inc     r8d"},
      {{0xFF, 0x74, 0x24, 0x08}, 4, "push    qword ptr [rsp+8]"},
      {{0x0F, 0x01, 0xF8}, 3, "swapgs"},
      {{0x44, 0x0F, 0x20, 0xC0}, 4, "mov     rax, cr8"},
      {{0xF3, 0x44, 0x0F, 0x10, 0x44, 0x24, 0x20}, 7, "movss   xmm8, [rsp+$20]"},
      {{0xE3, 0x10}, 2, "jrcxz   +$10 ($140001012)"},
      {{0x67, 0xE3, 0x10}, 3, "jecxz   +$10 ($140001013)"},
      {{0xFF, 0x15, 0x20, 0x00, 0x00, 0x00}, 6, "call    qword ptr [rip+$20]"},
      {{0x40, 0xC3}, 2, "ret"},
      {{0x40, 0x66, 0x90}, 3, "nop"},  // a REX prefix before a legacy prefix counts for nothing
  };
  for (const TCase& c : cases) {
    TInstrInfo info;
    const std::string line = Text64(c.bytes, info);
    EXPECT_TRUE(info.valid) << c.text;
    EXPECT_EQ(info.detail.length, c.length) << c.text;
    EXPECT_EQ(line, std::string("140001000   ") + c.text);
  }
}

TEST(DecodeInstr64, OpcodesThatLongModeDropped) {
  const std::vector<std::vector<std::uint8_t>> cases = {
      {0x06}, {0x07}, {0x0E}, {0x16}, {0x17}, {0x1E}, {0x1F}, {0x27}, {0x2F}, {0x37}, {0x3F},
      {0x60}, {0x61}, {0x62, 0x00}, {0x82, 0xC0, 0x01}, {0x9A, 0, 0, 0, 0, 0, 0}, {0xC4, 0x00},
      {0xC5, 0x00}, {0xC4, 0xC0, 0x00}, {0xCE}, {0xD4, 0x0A}, {0xD5, 0x0A}, {0xD6}, {0xEA, 0, 0, 0, 0, 0, 0},
      {0x44, 0x0F, 0x20, 0xC8},  // cr9
  };
  for (const auto& bytes : cases) {
    std::vector<std::uint8_t> padded = bytes;
    padded.resize(16, 0);
    TBufferMemory memory(kBase64, padded);
    EXPECT_FALSE(DecodeInstr64(memory, kBase64).valid) << int(bytes[0]);
  }
  TBufferMemory rexAlone(kBase64, {0x48});
  EXPECT_FALSE(DecodeInstr64(rexAlone, kBase64).valid);
  // The same bytes stay what they were in 32-bit mode.
  TBufferMemory arpl(kBase, {0x63, 0xC1});
  EXPECT_TRUE(DecodeInstr(arpl, kBase).valid);
  TBufferMemory incEax(kBase, {0x40});
  EXPECT_EQ(DecodeInstr(incEax, kBase).detail.length, 1);
}

TEST(DecodeInstr64, BranchesAndTheirTargets) {
  struct TCase {
    const char* what;
    std::vector<std::uint8_t> bytes;
    unsigned length;
    bool call, jump;
    Address target;   // 0: unknown
    Address slotPtr;  // where the target pointer is read, 0: none
  };
  // The pointer slot at kBase64 + 0x20 holds 0x7FFA12345678.
  const Address slot = kBase64 + 0x20, pointee = 0x7FFA12345678;
  const TCase cases[] = {
      {"call rel32", {0xE8, 0x10, 0x00, 0x00, 0x00}, 5, true, false, kBase64 + 0x15, 0},
      {"call rel32 backwards, below the image", {0xE8, 0x00, 0x00, 0x00, 0xF0}, 5, true, false,
       kBase64 + 5 - 0x10000000, 0},
      {"call rel32 with REX.W", {0x48, 0xE8, 0x10, 0x00, 0x00, 0x00}, 6, true, false, kBase64 + 0x16, 0},
      {"0x66 does not shorten a near call", {0x66, 0xE8, 0x10, 0x00, 0x00, 0x00}, 6, true, false, kBase64 + 0x16, 0},
      {"jz rel32", {0x0F, 0x84, 0x10, 0x00, 0x00, 0x00}, 6, false, true, kBase64 + 0x16, 0},
      {"jrcxz", {0xE3, 0x10}, 2, false, true, kBase64 + 0x12, 0},
      {"call [rip+disp32]", {0xFF, 0x15, 0x1A, 0x00, 0x00, 0x00}, 6, true, false, pointee, slot},
      {"call [rip+disp32] with REX.W", {0x48, 0xFF, 0x15, 0x19, 0x00, 0x00, 0x00}, 7, true, false, pointee, slot},
      {"jmp [rip+disp32]", {0xFF, 0x25, 0x1A, 0x00, 0x00, 0x00}, 6, false, true, pointee, slot},
      {"call rax", {0xFF, 0xD0}, 2, true, false, 0, 0},
      {"call r8", {0x41, 0xFF, 0xD0}, 3, true, false, 0, 0},
      {"call [rax+8]", {0xFF, 0x50, 0x08}, 3, true, false, 0, 0},
      {"call [r12]", {0x41, 0xFF, 0x14, 0x24}, 4, true, false, 0, 0},
      {"jmp r11", {0x41, 0xFF, 0xE3}, 3, false, true, 0, 0},
      {"far call through memory", {0xFF, 0x1D, 0x1A, 0x00, 0x00, 0x00}, 6, true, false, 0, 0},
  };
  for (const TCase& c : cases) {
    std::vector<std::uint8_t> bytes = c.bytes;
    bytes.resize(0x28, 0xCC);
    for (unsigned i = 0; i < 8; ++i) bytes[0x20 + i] = static_cast<std::uint8_t>(pointee >> (8 * i));
    TBufferMemory memory(kBase64, bytes);
    const TInstrInfo info = DecodeInstr64(memory, kBase64);
    EXPECT_TRUE(info.valid) << c.what;
    EXPECT_EQ(info.detail.length, c.length) << c.what;
    EXPECT_EQ(info.isCall, c.call) << c.what;
    EXPECT_EQ(info.isJump, c.jump) << c.what;
    EXPECT_EQ(info.targetAddr, c.target) << c.what;
    EXPECT_EQ(info.targetSlotPtr, c.slotPtr) << c.what;
  }
  // A RIP-relative pointer that cannot be read: still a call, target unknown.
  TBufferMemory unreadable(kBase64, {0xFF, 0x15, 0x00, 0x00, 0x00, 0x10});
  const TInstrInfo unknown = DecodeInstr64(unreadable, kBase64);
  EXPECT_TRUE(unknown.valid && unknown.isCall);
  EXPECT_EQ(unknown.targetAddr, 0u);
  EXPECT_EQ(unknown.targetSlotPtr, kBase64 + 6 + 0x10000000);
  // 0x67 makes the RIP-relative slot a 32-bit address.
  TBufferMemory address32(0x100000000, {0x67, 0xFF, 0x15, 0x00, 0x10, 0x00, 0x00});
  EXPECT_EQ(DecodeInstr64(address32, 0x100000000).targetSlotPtr, 0x1007u);
}

}  // namespace
}  // namespace ruvex
