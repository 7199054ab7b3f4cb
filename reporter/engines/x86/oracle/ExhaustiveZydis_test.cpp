// Every one- and two-byte opcode with every ModR/M byte under the prefixes
// none, 66, F2, F3 and 67, decoded by us and by Zydis. Disagreements must
// fall into one of the explained classes below.
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
  std::uint8_t prefix;  // 0 for none
  bool twoByte;
  std::uint8_t opcode;
  std::uint8_t modRm;
};

struct TDeliberate {
  const char* why;
  std::function<bool(const TCase&, const TInstrInfo&, const oracle::TReference&)> applies;
};

bool IsPrefixByte(std::uint8_t b) {
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
      {"VEX, EVEX and XOP encodings (AVX and later) lie outside the decoded instruction sets",
       [](const TCase& c, const TInstrInfo&, const oracle::TReference&) {
         return !c.twoByte && (((c.opcode == 0xC4 || c.opcode == 0xC5 || c.opcode == 0x62) && c.modRm >= 0xC0) ||
                               (c.opcode == 0x8F && ((c.modRm >> 3) & 7) != 0));
       }},
      {"three-byte maps 0F 38 and 0F 3A (SSSE3, SSE4 and later) are not decoded",
       [](const TCase& c, const TInstrInfo&, const oracle::TReference&) {
         return c.twoByte && (c.opcode == 0x38 || c.opcode == 0x3A);
       }},
      {"system and virtualisation extensions beyond the classic set (getsec, vmread/vmwrite, "
       "monitor/mwait, xgetbv, rdrand, vmptrld, xsave, rdfsbase, clwb, ...)",
       [](const TCase& c, const TInstrInfo& ours, const oracle::TReference& z) {
         if (!c.twoByte || ours.valid) return false;
         const unsigned reg = (c.modRm >> 3) & 7;
         switch (c.opcode) {
           case 0x37: case 0x78: case 0x79: return true;
           case 0xA6: case 0xA7: return c.modRm >= 0xC0;  // VIA PadLock
           case 0x01: return c.modRm >= 0xC0 || reg == 5;
           case 0xC7: return c.modRm >= 0xC0 || reg != 1 || c.prefix != 0;
           case 0xAE: return true;
           default: return false;
         }
       }},
      {"later additions in the classic opcode space: popcnt, tzcnt, lzcnt (F3 0F B8/BC/BD), "
       "ud0/ud1 (0F FF, 0F B9), endbr and the other CET forms (F3 0F 1E, F3 0F 01), "
       "xabort/xbegin (C6 F8, C7 F8), mov to test registers (0F 24, 0F 26)",
       [](const TCase& c, const TInstrInfo& ours, const oracle::TReference& z) {
         if (!c.twoByte) return (c.opcode == 0xC6 || c.opcode == 0xC7) && c.modRm == 0xF8 && !ours.valid;
         switch (c.opcode) {
           case 0xB8: case 0xFF: case 0xB9: case 0x24: case 0x26: return !ours.valid;
           case 0xBC: case 0xBD: return c.prefix == 0xF3 && ours.detail.length == z.length;
           case 0x1E: case 0x01: return c.prefix == 0xF3;
           default: return false;
         }
       }},
      {"F6 /1 and F7 /1, undocumented aliases of test, have no mnemonic and are listed as bytes",
       [](const TCase& c, const TInstrInfo& ours, const oracle::TReference&) {
         return !c.twoByte && (c.opcode == 0xF6 || c.opcode == 0xF7) && ((c.modRm >> 3) & 7) == 1 && !ours.valid;
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
         return c.twoByte && (c.prefix == 0xF2 || c.prefix == 0xF3 || c.prefix == 0x66) &&
                (c.opcode == 0x2B || c.opcode == 0x78 || c.opcode == 0x79) && !ours.valid;
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
  std::vector<std::uint8_t> bytes;
  if (c.prefix) bytes.push_back(c.prefix);
  if (c.twoByte) bytes.push_back(0x0F);
  bytes.push_back(c.opcode);
  bytes.push_back(c.modRm);
  // SIB, displacement and immediate bytes; 0x90 is also a valid 3DNow! suffix.
  while (bytes.size() < 16) bytes.push_back(0x90);
  return bytes;
}

TEST(ExhaustiveZydis, EveryOneAndTwoByteOpcodeWithEveryModRm) {
  oracle::TZydis zydis;
  const Address base = 0x401000;
  std::map<std::string, unsigned> explained;
  unsigned compared = 0, agreeing = 0, unexplained = 0;
  std::map<unsigned, unsigned> unexplainedByOpcode;
  std::ostringstream examples;
  for (std::uint8_t prefix : {0x00, 0x66, 0xF2, 0xF3, 0x67})
    for (bool twoByte : {false, true})
      for (unsigned op = 0; op < 256; ++op) {
        if (!twoByte && (op == 0x0F || IsPrefixByte(static_cast<std::uint8_t>(op)))) continue;
        for (unsigned modRm = 0; modRm < 256; ++modRm) {
          TCase c{prefix, twoByte, static_cast<std::uint8_t>(op), static_cast<std::uint8_t>(modRm)};
          std::vector<std::uint8_t> bytes = Encode(c);
          TBufferMemory memory(base, bytes);
          TInstrInfo ours = DecodeInstr(memory, base);
          oracle::TReference z = zydis.Decode(bytes.data(), 15, base);
          ++compared;
          bool same = ours.valid == z.valid;
          if (same && ours.valid) {
            same = ours.detail.length == z.length && ours.isCall == z.isCall && ours.isJump == z.isJump &&
                   (!z.relative || ours.targetAddr == (z.target & 0xFFFFFFFF));
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
          if (++unexplained, ++unexplainedByOpcode[prefix << 9 | twoByte << 8 | op] == 1)
            examples << std::hex << "prefix " << unsigned(prefix) << (twoByte ? " 0f " : " ")
                          << op << " modrm " << modRm << ": ours valid=" << ours.valid
                          << " len=" << unsigned(ours.detail.length) << " call=" << ours.isCall
                          << " jump=" << ours.isJump << "; zydis valid=" << z.valid << " len=" << z.length
                          << " " << z.mnemonic << " call=" << z.isCall << " jump=" << z.isJump << "\n";
        }
      }
  std::printf("exhaustive: %u encodings, %u agree (%.2f%%), %u unexplained\n", compared, agreeing,
              100.0 * agreeing / compared, unexplained);
  for (const auto& [why, count] : explained) std::printf("  %7u  %s\n", count, why.c_str());
  EXPECT_EQ(unexplained, 0u) << unexplainedByOpcode.size() << " opcodes, first case of each:\n" << examples.str();
}

}  // namespace
}  // namespace ruvex
