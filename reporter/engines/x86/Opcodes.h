#pragma once
// Opcodes and ModR/M forms that the function analysis and the listing
// recognise by value. An opcode is a TInstrInfo::opcodeWord: the byte, or
// 0x0F00 | the second byte of a two-byte opcode.
#include <cstdint>

#include "reporter/engines/x86/InstrInfo.h"

namespace ruvex {

enum : std::uint16_t {
  kOpRetNearImm16 = 0xC2,  // ret imm16: pops the arguments too
  kOpRetNear = 0xC3,
  kOpRetFarImm16 = 0xCA,
  kOpRetFar = 0xCB,
  kOpIret = 0xCF,

  kOpJmpRel32 = 0xE9,
  kOpJmpFar = 0xEA,        // jmp ptr16:32
  kOpJmpRel8 = 0xEB,
  kOpUd2 = 0x0F0B,         // raises invalid-opcode: nothing follows it

  // Conditional jumps that end a case selection: above / greater, and above
  // or equal / greater or equal, in their short and near forms.
  kOpJaRel8 = 0x77, kOpJgRel8 = 0x7F, kOpJaRel32 = 0x0F87, kOpJgRel32 = 0x0F8F,
  kOpJaeRel8 = 0x73, kOpJgeRel8 = 0x7D, kOpJaeRel32 = 0x0F83, kOpJgeRel32 = 0x0F8D,

  kOpPushImm32 = 0x68,
  kOpMovEaxImm32 = 0xB8,   // the first of mov r32, imm32 (0xB8 + register)
  kOpGroup1RmImm8 = 0x83,  // add .. cmp r/m32, imm8 by the ModR/M register field
  kOpGroup5 = 0xFF,        // inc, dec, call, call far, jmp, jmp far, push r/m by the register field
};

// The register field of kOpGroup5.
enum : std::uint8_t { kGroup5JmpNear = 4, kGroup5JmpFar = 5, kGroup5Push = 6 };

// ModR/M bytes the analysis matches whole.
enum : std::uint8_t {
  kModRmCmpRegister = 0xF8,  // register form, field 7 (cmp); the low 3 bits name the register
  kModRmJmpSib = 0x24,       // memory form, field 4 (jmp), a SIB byte follows
};

constexpr std::uint8_t kPrefixFs = 0x64;

// TInstrInfo::TDetail::segment of an fs override.
constexpr std::int8_t kSegmentFs = 4;

// push imm32: the opcode and a 4-byte immediate.
constexpr unsigned kPushImm32Length = 5;

constexpr bool IsReturn(std::uint16_t op) {
  return op == kOpRetNearImm16 || op == kOpRetNear || op == kOpRetFarImm16 || op == kOpRetFar || op == kOpIret;
}

constexpr bool IsUnconditionalJump(const TInstrInfo& i) {
  const std::uint16_t op = i.opcodeWord;
  if (op == kOpJmpRel32 || op == kOpJmpFar || op == kOpJmpRel8) return true;
  return op == kOpGroup5 && (i.detail.reg == kGroup5JmpNear || i.detail.reg == kGroup5JmpFar);
}

}  // namespace ruvex
