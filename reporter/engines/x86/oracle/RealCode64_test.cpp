// Our 64-bit decoder against objdump and Zydis over the .text of real
// x86-64 images, at objdump's instruction boundaries: validity, length,
// call and jump classification, relative targets and the pointer slots of
// RIP-relative indirect branches. What the stack tracer needs, so every
// difference must be one of the explained kinds. The mnemonics of the text
// form are compared with Zydis's as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>

#include "reporter/engines/x86/Disasm.h"
#include "reporter/engines/x86/InstrText.h"
#include "reporter/engines/x86/oracle/RealCode.h"
#include "reporter/engines/x86/oracle/ZydisOracle.h"

namespace ruvex {
namespace {

struct TTally {
  unsigned total = 0, validity = 0, length = 0, classification = 0, targets = 0, targetsChecked = 0;
  void Add(const TTally& o) {
    total += o.total; validity += o.validity; length += o.length; classification += o.classification;
    targets += o.targets; targetsChecked += o.targetsChecked;
  }
  bool Complete() const {
    return validity == total && length == total && classification == total && targets == targetsChecked;
  }
  void Print(const char* who, const std::string& image) const {
    auto pct = [](unsigned a, unsigned b) { return b ? 100.0 * a / b : 100.0; };
    std::printf("%-8s %-15s %7u instr: valid %.3f%%, length %.3f%%, call/jump %.3f%%, targets %.3f%% of %u\n", who,
                image.c_str(), total, pct(validity, total), pct(length, total), pct(classification, total),
                pct(targets, targetsChecked), targetsChecked);
  }
};

// The pointer slot of an indirect branch as objdump shows it: in its
// comment for RIP-relative operands ("# 17006a000 <...>"), in the operand
// for absolute ones ("ds:0x7ffe1000"); 0 without either.
std::uint64_t SlotAddress(const std::string& operands) {
  if (const std::size_t hash = operands.find('#'); hash != std::string::npos)
    return std::strtoull(operands.c_str() + hash + 1, nullptr, 16);
  if (const std::size_t at = operands.find("ds:0x"); at != std::string::npos)
    return std::strtoull(operands.c_str() + at + 5, nullptr, 16);
  return 0;
}

std::string Base(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

TEST(RealCode64, AgreesWithObjdumpAndZydis) {
  const oracle::TZydis zydis(true);
  TTally allObjdump, allZydis;
  std::vector<std::string> missing;
  std::ostringstream differences;
  unsigned mnemonics = 0, mnemonicsAgreeing = 0;
  std::map<std::string, unsigned> mnemonicMisses;
  unsigned branchesToNext = 0, listed = 0;
  for (const std::string& path : oracle::RealImages64()) {
    oracle::TSection text;
    if (!oracle::ReadTextSection(path, text, oracle::kObjdump64)) {
      missing.push_back(path);
      continue;
    }
    const TBufferMemory memory(text.address, text.bytes);
    TTally vsObjdump, vsZydis;
    for (const oracle::TObjdumpInstr& o : oracle::ObjdumpText(path, oracle::kObjdump64)) {
      if (o.address < text.address || o.address - text.address >= text.bytes.size()) continue;
      const std::uint8_t* bytes = text.bytes.data() + (o.address - text.address);
      const std::size_t left = std::min<std::size_t>(15, text.bytes.size() - (o.address - text.address));
      const TInstrInfo ours = DecodeInstr64(memory, o.address);
      const oracle::TReference z = zydis.Decode(bytes, left, o.address);
      std::string operands;
      const std::string om = oracle::ObjdumpMnemonic(o.text, &operands);
      const bool objdumpValid = om != "(bad)" && om != ".byte" && !om.empty();
      bool objdumpCall = false;
      const bool objdumpBranch = objdumpValid && oracle::ObjdumpBranch(om, objdumpCall);
      // A call of the next instruction pushes an address: deliberately no branch for us.
      const bool toNext = ours.valid && !ours.isCall && !ours.isJump && z.relative && z.target == ours.nextAddr;
      branchesToNext += toNext;

      ++vsObjdump.total, ++vsZydis.total;
      const bool objdumpAgrees[] = {
          ours.valid == objdumpValid,
          !ours.valid || !objdumpValid || ours.detail.length == o.length,
          toNext || (ours.isCall == (objdumpBranch && objdumpCall) && ours.isJump == (objdumpBranch && !objdumpCall)),
      };
      const bool zydisAgrees[] = {
          ours.valid == z.valid,
          !ours.valid || !z.valid || ours.detail.length == z.length,
          toNext || (ours.isCall == z.isCall && ours.isJump == z.isJump),
      };
      vsObjdump.validity += objdumpAgrees[0], vsObjdump.length += objdumpAgrees[1];
      vsObjdump.classification += objdumpAgrees[2];
      vsZydis.validity += zydisAgrees[0], vsZydis.length += zydisAgrees[1], vsZydis.classification += zydisAgrees[2];
      bool targetsAgree = true;
      if (ours.valid && ours.relativeTarget) {
        ++vsObjdump.targetsChecked, ++vsZydis.targetsChecked;
        const bool a = ours.targetAddr == std::strtoull(operands.c_str(), nullptr, 16), b = ours.targetAddr == z.target;
        vsObjdump.targets += a, vsZydis.targets += b;
        targetsAgree = a && b;
      } else if (ours.valid && ours.targetSlotPtr) {
        ++vsObjdump.targetsChecked, ++vsZydis.targetsChecked;
        const bool a = ours.targetSlotPtr == SlotAddress(operands), b = ours.targetSlotPtr == z.slot;
        vsObjdump.targets += a, vsZydis.targets += b;
        targetsAgree = a && b;
      }
      if (ours.valid && z.valid) {
        std::string mine = oracle::CanonicalMnemonic(MnemonicText(ours));
        const std::string theirs = oracle::CanonicalMnemonic(z.mnemonic);
        if (oracle::IsStringOperation(ours.opcodeWord) && oracle::StringStem(mine) == oracle::StringStem(theirs))
          mine = theirs;
        ++mnemonics;
        if (mine == theirs) ++mnemonicsAgreeing;
        else ++mnemonicMisses[mine + " / zydis " + theirs];
      }
      const bool all = objdumpAgrees[0] && objdumpAgrees[1] && objdumpAgrees[2] && zydisAgrees[0] &&
                       zydisAgrees[1] && zydisAgrees[2] && targetsAgree;
      if (!all && ++listed <= 20)
        differences << std::hex << o.address << ": objdump '" << o.text << "' len " << std::dec << o.length
                    << "; zydis " << z.valid << " " << z.mnemonic << " len " << z.length << "; ours valid "
                    << ours.valid << " len " << unsigned(ours.detail.length) << " call " << ours.isCall << " jump "
                    << ours.isJump << std::hex << " target " << ours.targetAddr << " slot " << ours.targetSlotPtr
                    << "\n";
    }
    vsObjdump.Print("objdump", Base(path));
    vsZydis.Print("zydis", Base(path));
    allObjdump.Add(vsObjdump);
    allZydis.Add(vsZydis);
  }
  ASSERT_TRUE(missing.empty()) << missing.front() << " is missing or has no .text: install wine64";
  allObjdump.Print("objdump", "all");
  allZydis.Print("zydis", "all");
  std::printf("  %u calls of the next instruction, deliberately no branch\n", branchesToNext);
  std::printf("  mnemonic %.3f%% of %u as Zydis names them\n", mnemonics ? 100.0 * mnemonicsAgreeing / mnemonics : 100.0,
              mnemonics);
  std::vector<std::pair<unsigned, std::string>> misses;
  for (const auto& [pair, count] : mnemonicMisses) misses.push_back({count, pair});
  std::sort(misses.rbegin(), misses.rend());
  for (std::size_t i = 0; i < misses.size() && i < 15; ++i)
    std::printf("  mnemonic difference %6u  %s\n", misses[i].first, misses[i].second.c_str());
  EXPECT_EQ(mnemonicsAgreeing, mnemonics);
  EXPECT_TRUE(allObjdump.Complete() && allZydis.Complete()) << listed << " differences, the first:\n"
                                                             << differences.str();
}

}  // namespace
}  // namespace ruvex
