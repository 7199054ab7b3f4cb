#pragma once
// The opcode tables behind the decoder: a 16-bit flag word per opcode, the
// group rows for opcodes whose operands depend on the ModR/M register field,
// the mnemonic template indexes and the 3DNow! operations.
#include <array>
#include <cstdint>
#include <string_view>

namespace ruvex {

// Fields of a flag word.
enum : std::uint16_t {
  kFlagsInvalid = 0xFFFF,

  // Bits 0-2: the register operand. With a ModR/M byte:
  kRegNone = 0, kRegByte = 1, kRegWord = 2, kRegSpecial = 3, kRegOpSize = 4,
  kRegMmx = 5, kRegSt = 6, kRegXmm = 7,
  // Without one:
  kRegAl = 1, kRegEax = 2, kRegLowByte = 4, kRegLowOpSize = 5, kRegEaxAndLow = 6, kRegAccDx = 7,
  kRegMask = 7,

  // Bits 3-5: the ModR/M operand (0: no ModR/M byte).
  kModGroup = 1 << 3, kModByte = 2 << 3, kModWord = 3 << 3, kModDword = 4 << 3,
  kModQword = 5 << 3, kModTbyte = 6 << 3, kModOword = 7 << 3,
  kModMask = 7 << 3,

  kReg66 = 1 << 6,      // 0x66 widens/narrows the register operand
  kMod66 = 1 << 7,      // the same for the ModR/M operand
  kShowSize = 1 << 8,   // a memory operand is printed with its size
  kModFirst = 1 << 9,   // the ModR/M operand is printed first

  // Bits 10-11: immediate size.
  kImm8 = 1 << 10, kImm16 = 2 << 10, kImmOpSize = 3 << 10,
  kImmMask = 3 << 10,
  kRelative = 1 << 12,  // the immediate is a relative branch target

  // Bits 13-15: general registers the instruction writes.
  kWriteReg = 1 << 13, kWriteMod = 2 << 13, kWriteLow = 3 << 13, kWriteEax = 4 << 13,
  kWriteRegMod = 5 << 13, kWriteEaxMod = 6 << 13, kWriteEaxLow = 7 << 13,
  kWriteMask = 7 << 13,
};

constexpr unsigned RegKind(std::uint16_t f) { return f & kRegMask; }
constexpr unsigned ModKind(std::uint16_t f) { return (f & kModMask) >> 3; }
constexpr unsigned ImmKind(std::uint16_t f) { return (f & kImmMask) >> 10; }
constexpr unsigned WriteKind(std::uint16_t f) { return (f & kWriteMask) >> 13; }

// Mandatory-prefix masks for the two-byte SSE and MMX opcodes.
enum : std::uint8_t { kSseNone = 1, kSse66 = 2, kSseF2 = 4, kSseF3 = 8 };

struct TGroupRow {
  std::uint8_t opcode = 0;
  std::array<std::uint16_t, 8> memory{};
  std::array<std::uint16_t, 8> registerForm{};
};

struct TOpcodeTables {
  std::array<std::uint16_t, 256> oneByte{};
  std::array<std::uint16_t, 256> twoByte{};
  std::array<TGroupRow, 10> groups{};   // 0xF6, 0xF7, 0xD8 .. 0xDF
  std::array<std::uint8_t, 256> oneByteMnemonic{};
  std::array<std::uint8_t, 256> twoByteMnemonic{};
  // The one-byte map of 64-bit mode: the legacy forms it dropped are
  // invalid, 0x40-0x4F are REX prefixes and 0x63 is movsxd. The two-byte
  // map is the same in both modes.
  std::array<std::uint16_t, 256> oneByte64{};
  std::array<std::uint8_t, 256> oneByteMnemonic64{};
  // Which mandatory prefixes a two-byte opcode takes; 0 when any.
  std::array<std::uint8_t, 256> twoByteSsePrefixes{};
};

// Constant data, complete before any code runs (the crash path may be the
// first to decode).
const TOpcodeTables& OpcodeTables();

// The group row of 0xF6, 0xF7 or 0xD8..0xDF; nullptr for other opcodes.
const TGroupRow* GroupRow(std::uint8_t opcode);

// Number of mnemonic templates; the 1-based indexes run up to it.
std::size_t MnemonicTemplateCount();
std::string_view MnemonicTemplate(unsigned index);
unsigned MnemonicIndex(std::string_view templateText);  // 0 when unknown

// The 3DNow! operation of a suffix byte; empty when the byte has none.
std::string_view Amd3dNowName(std::uint8_t suffix);

}  // namespace ruvex
