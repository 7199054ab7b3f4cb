// Every one- and two-byte opcode with every ModR/M byte in 64-bit mode,
// under the legacy prefixes and the REX forms, decoded by us and by Zydis.
// Disagreements must fall into one of the explained classes below.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <sstream>
#include <vector>

#include "reporter/engines/x86/Disasm.h"
#include "reporter/engines/x86/oracle/ZydisOracle.h"

namespace ruvex {
namespace {

struct TCase {
  std::vector<std::uint8_t> prefixes;
  bool twoByte;
  std::uint8_t opcode;
  std::uint8_t modRm;

  bool Has(std::uint8_t prefix) const {
    for (std::uint8_t p : prefixes)
      if (p == prefix) return true;
    return false;
  }
  unsigned Reg() const { return (modRm >> 3) & 7; }
};

struct TDeliberate {
  const char* why;
  std::function<bool(const TCase&, const TInstrInfo&, const oracle::TReference&)> applies;
};

bool IsLegacyPrefix(std::uint8_t b) {
  switch (b) {
    case 0x26: case 0x2E: case 0x36: case 0x3E: case 0x64: case 0x65:
    case 0x66: case 0x67: case 0xF0: case 0xF2: case 0xF3: return true;
    default: return false;
  }
}

// Deliberate differences, each with its reason.
const std::vector<TDeliberate>& Deliberate() {
  static const std::vector<TDeliberate> list = {
      {"a branch whose target is the next instruction is neither a call nor a jump",
       [](const TCase&, const TInstrInfo& ours, const oracle::TReference& z) {
         return ours.valid && !ours.isCall && !ours.isJump && z.relative && z.target == ours.nextAddr;
       }},
      {"VEX and EVEX encodings (C4, C5, 62: AVX and later) lie outside the decoded instruction sets; "
       "in 64-bit mode these bytes are nothing else, and are refused",
       [](const TCase& c, const TInstrInfo& ours, const oracle::TReference&) {
         return !c.twoByte && (c.opcode == 0xC4 || c.opcode == 0xC5 || c.opcode == 0x62) && !ours.valid;
       }},
      {"XOP encodings (8F with a register field other than 0) lie outside the decoded instruction sets",
       [](const TCase& c, const TInstrInfo& ours, const oracle::TReference&) {
         return !c.twoByte && c.opcode == 0x8F && c.Reg() != 0 && !ours.valid;
       }},
      {"three-byte maps 0F 38 and 0F 3A (SSSE3, SSE4 and later) are not decoded",
       [](const TCase& c, const TInstrInfo&, const oracle::TReference&) {
         return c.twoByte && (c.opcode == 0x38 || c.opcode == 0x3A);
       }},
      {"system and virtualisation extensions beyond the classic set (getsec, vmread/vmwrite, "
       "monitor/mwait, xgetbv, rdrand, vmptrld, xsave, rdfsbase, clwb, pvalidate, rmpupdate, psmash, ...)",
       [](const TCase& c, const TInstrInfo& ours, const oracle::TReference&) {
         if (!c.twoByte || ours.valid) return false;
         switch (c.opcode) {
           case 0x37: case 0x78: case 0x79: return true;
           case 0xA6: case 0xA7: return c.modRm >= 0xC0;  // VIA PadLock
           case 0x01: return c.modRm >= 0xC0 || c.Reg() == 5;
           case 0xC7: return c.modRm >= 0xC0 || c.Reg() != 1 || c.Has(0x66) || c.Has(0xF2) || c.Has(0xF3);
           case 0xAE: return true;
           default: return false;
         }
       }},
      {"later additions in the classic opcode space: popcnt, tzcnt, lzcnt (F3 0F B8/BC/BD), "
       "ud0/ud1 (0F FF, 0F B9), endbr and the other CET forms (F3 0F 1E, F3 0F 01), "
       "xabort/xbegin (C6 F8, C7 F8)",
       [](const TCase& c, const TInstrInfo& ours, const oracle::TReference& z) {
         if (!c.twoByte) return (c.opcode == 0xC6 || c.opcode == 0xC7) && c.modRm == 0xF8 && !ours.valid;
         switch (c.opcode) {
           case 0xB8: case 0xFF: case 0xB9: return !ours.valid;
           case 0xBC: case 0xBD: return c.Has(0xF3) && ours.detail.length == z.length;
           case 0x1E: case 0x01: return c.Has(0xF3);
           default: return false;
         }
       }},
      {"F6 /1 and F7 /1, undocumented aliases of test, have no mnemonic and are listed as bytes",
       [](const TCase& c, const TInstrInfo& ours, const oracle::TReference&) {
         return !c.twoByte && (c.opcode == 0xF6 || c.opcode == 0xF7) && c.Reg() == 1 && !ours.valid;
       }},
      {"0F 1A/1B: with MPX these encodings name bound registers 4 to 7, which do not exist; "
       "processors without MPX run them as hint NOPs, as we decode them",
       [](const TCase& c, const TInstrInfo& ours, const oracle::TReference& z) {
         return c.twoByte && (c.opcode == 0x1A || c.opcode == 0x1B) && ours.valid && !z.valid;
       }},
      {"moves to and from control and debug registers (0F 20-23) ignore the mod field on the processor; "
       "only the register form that assemblers write is accepted",
       [](const TCase& c, const TInstrInfo& ours, const oracle::TReference&) {
         return c.twoByte && c.opcode >= 0x20 && c.opcode <= 0x23 && c.modRm < 0xC0 && !ours.valid;
       }},
      {"AMD SSE4a (movntsd, movntss, extrq, insertq) is not decoded",
       [](const TCase& c, const TInstrInfo& ours, const oracle::TReference&) {
         return c.twoByte && (c.Has(0xF2) || c.Has(0xF3) || c.Has(0x66)) &&
                (c.opcode == 0x2B || c.opcode == 0x78 || c.opcode == 0x79) && !ours.valid;
       }},
      {"far indirect branches (FF /3, /5) read a selector with the offset, and the 0x66 forms of the near "
       "ones are 16-bit on some processors and 64-bit on others: no pointer slot or target is given",
       [](const TCase& c, const TInstrInfo& ours, const oracle::TReference& z) {
         const bool farOrShort = c.Reg() == 3 || c.Reg() == 5 || c.Has(0x66);
         return !c.twoByte && c.opcode == 0xFF && farOrShort && ours.valid && ours.detail.length == z.length &&
                ours.isCall == z.isCall && ours.isJump == z.isJump && ours.targetSlotPtr == 0 && ours.targetAddr == 0;
       }},
      {"reserved-NOP and prefetch hint space (0F 0D, 0F 18): only the documented prefetch forms are "
       "decoded; the reserved forms are listed as undecodable bytes",
       [](const TCase& c, const TInstrInfo& ours, const oracle::TReference&) {
         return c.twoByte && (c.opcode == 0x0D || c.opcode == 0x18) && !ours.valid;
       }},
  };
  return list;
}

std::vector<std::uint8_t> Encode(const TCase& c) {
  std::vector<std::uint8_t> bytes = c.prefixes;
  if (c.twoByte) bytes.push_back(0x0F);
  bytes.push_back(c.opcode);
  bytes.push_back(c.modRm);
  // SIB, displacement and immediate bytes; 0x90 is also a valid 3DNow! suffix.
  while (bytes.size() < 16) bytes.push_back(0x90);
  return bytes;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::ostringstream text;
  text << std::hex;
  for (std::uint8_t b : bytes) text << (b < 16 ? "0" : "") << unsigned(b) << ' ';
  return text.str();
}

TEST(ExhaustiveZydis64, EveryOneAndTwoByteOpcodeWithEveryModRmAndRex) {
  const oracle::TZydis zydis(true);
  // Above 4 GB, so that a target cut to 32 bits shows.
  const Address base = 0x7FF612340000;
  // The legacy prefixes, each REX bit alone, all of them, and REX after
  // the operand-size and repeat prefixes that select SSE forms.
  const std::vector<std::vector<std::uint8_t>> prefixSets = {
      {}, {0x66}, {0xF2}, {0xF3}, {0x67}, {0x40}, {0x41}, {0x42}, {0x44}, {0x48}, {0x4F},
      {0x66, 0x48}, {0xF3, 0x48}, {0x66, 0x41},
  };
  std::map<std::string, unsigned> explained;
  unsigned compared = 0, agreeing = 0, unexplained = 0;
  std::map<std::string, unsigned> unexplainedByOpcode;
  std::ostringstream examples;
  for (const std::vector<std::uint8_t>& prefixes : prefixSets)
    for (bool twoByte : {false, true})
      for (unsigned op = 0; op < 256; ++op) {
        const auto opcode = static_cast<std::uint8_t>(op);
        if (!twoByte && (op == 0x0F || IsLegacyPrefix(opcode) || (op & 0xF0) == 0x40)) continue;
        for (unsigned modRm = 0; modRm < 256; ++modRm) {
          const TCase c{prefixes, twoByte, opcode, static_cast<std::uint8_t>(modRm)};
          const std::vector<std::uint8_t> bytes = Encode(c);
          const TBufferMemory memory(base, bytes);
          const TInstrInfo ours = DecodeInstr64(memory, base);
          const oracle::TReference z = zydis.Decode(bytes.data(), 15, base);
          ++compared;
          bool same = ours.valid == z.valid;
          if (same && ours.valid) {
            same = ours.detail.length == z.length && ours.isCall == z.isCall && ours.isJump == z.isJump &&
                   (!z.relative || ours.targetAddr == z.target) &&
                   (!(z.isCall || z.isJump) || !z.slot || ours.targetSlotPtr == z.slot);
          }
          if (same) {
            ++agreeing;
            continue;
          }
          const TDeliberate* why = nullptr;
          for (const TDeliberate& d : Deliberate())
            if (d.applies(c, ours, z)) { why = &d; break; }
          if (why) {
            ++explained[why->why];
            continue;
          }
          std::vector<std::uint8_t> key = prefixes;
          if (twoByte) key.push_back(0x0F);
          key.push_back(opcode);
          if (++unexplained, ++unexplainedByOpcode[Hex(key)] == 1)
            examples << Hex(key) << "modrm " << std::hex << modRm << ": ours valid=" << ours.valid
                     << " len=" << unsigned(ours.detail.length) << " call=" << ours.isCall
                     << " jump=" << ours.isJump << " target=" << ours.targetAddr << " slot=" << ours.targetSlotPtr
                     << "; zydis valid=" << z.valid << " len=" << z.length << " " << z.mnemonic
                     << " call=" << z.isCall << " jump=" << z.isJump << " target=" << z.target << " slot=" << z.slot
                     << "\n";
        }
      }
  std::printf("exhaustive 64-bit: %u encodings, %u agree (%.2f%%), %u unexplained\n", compared, agreeing,
              100.0 * agreeing / compared, unexplained);
  for (const auto& [why, count] : explained) std::printf("  %7u  %s\n", count, why.c_str());
  EXPECT_EQ(unexplained, 0u) << unexplainedByOpcode.size() << " opcodes, first case of each:\n" << examples.str();
}

}  // namespace
}  // namespace ruvex
