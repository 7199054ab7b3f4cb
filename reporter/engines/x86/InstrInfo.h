#pragma once
// One decoded x86 instruction (32-bit or 64-bit mode), and the 32-bit
// general-register state that the decoder and the function analyser carry
// from instruction to instruction.
#include <array>
#include <cstdint>

#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

// eax, ecx, edx, ebx, esp, ebp, esi, edi; 0 means unknown.
using TRegisters = std::array<std::uint32_t, 8>;

enum : int { kEax = 0, kEcx, kEdx, kEbx, kEsp, kEbp, kEsi, kEdi };

// Longest encoding the processor accepts; anything longer is invalid.
constexpr unsigned kMaxInstrLength = 15;

struct TInstrInfo {
  bool valid = false;
  std::uint16_t opcodeWord = 0;  // opcode byte, or 0x0F00 | second byte
  std::uint8_t modRmByte = 0;
  bool isCall = false;
  bool isJump = false;
  bool relativeTarget = false;
  Address targetAddr = 0;     // 0 when unknown
  Address targetSlot = 0;     // displacement field, or the register's value
  Address targetSlotPtr = 0;  // where the pointer to the target is read
  std::uint32_t targetWidth = 0;
  bool extendable = false;
  Address instrAddr = 0;
  Address nextAddr = 0;

  // How the bytes were read; the text form and the analyser use these.
  struct TDetail {
    std::uint8_t length = 0;
    bool operand16 = false;   // 0x66 seen
    bool address16 = false;   // 0x67 seen
    bool lock = false;
    std::uint8_t rep = 0;     // 0, 0xF2 or 0xF3: the last of the two seen
    std::int8_t segment = -1; // override: 0 es .. 5 gs
    std::uint16_t flags = 0;  // flag word after the group lookup
    bool hasModRm = false;
    std::uint8_t mod = 0, reg = 0, rm = 0;
    bool hasSib = false;
    std::int8_t base = -1;    // register number, -1 none
    std::int8_t index = -1;
    std::uint8_t scale = 1;
    std::int32_t displacement = 0;
    std::uint8_t dispSize = 0;
    std::uint8_t dispOffset = 0;
    std::int64_t immediate = 0;   // sign-extended
    std::uint8_t immSize = 0;     // bytes of the first immediate
    std::uint8_t immOffset = 0;
    std::uint32_t immediate2 = 0; // enter's level, a far pointer's segment
    std::uint8_t mnemonic = 0;    // 1-based template index, 0 none

    // 64-bit mode. There base and index are register numbers 0-15, and
    // address16 stays false: 0x67 selects 32-bit addressing instead.
    bool mode64 = false;
    std::uint8_t rex = 0;         // the REX prefix (0x40-0x4F) in effect, 0 none
    bool address32 = false;       // 0x67 seen in 64-bit mode
    bool operand64 = false;       // the operation is 64 bits wide (REX.W or a 64-bit default)
    bool ripRelative = false;     // the displacement counts from the next instruction
    std::uint8_t regNumber = 0;   // the register field with REX.R, 0-15
    std::uint8_t rmNumber = 0;    // the r/m field with REX.B, 0-15 (register forms)
  } detail;
};

}  // namespace ruvex
