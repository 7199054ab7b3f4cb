// Our decoder against objdump and Zydis over the .text of real 32-bit
// images, at objdump's instruction boundaries: validity, length, call and
// jump classification, relative and absolute targets, and the mnemonic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "reporter/engines/x86/Disasm.h"
#include "reporter/engines/x86/InstrText.h"
#include "reporter/engines/x86/oracle/RealCode.h"
#include "reporter/engines/x86/oracle/ZydisOracle.h"

namespace ruvex {
namespace {

struct TTally {
  unsigned total = 0, validity = 0, length = 0, classification = 0, targets = 0, targetsChecked = 0,
           mnemonic = 0, mnemonicChecked = 0;
  void Add(const TTally& o) {
    total += o.total; validity += o.validity; length += o.length; classification += o.classification;
    targets += o.targets; targetsChecked += o.targetsChecked; mnemonic += o.mnemonic; mnemonicChecked += o.mnemonicChecked;
  }
  void Print(const char* who, const std::string& image) const {
    auto pct = [](unsigned a, unsigned b) { return b ? 100.0 * a / b : 100.0; };
    std::printf("%-8s %-14s %7u instr: valid %.3f%%, length %.3f%%, call/jump %.3f%%, targets %.3f%% of %u, "
                "mnemonic %.3f%% of %u\n",
                who, image.c_str(), total, pct(validity, total), pct(length, total), pct(classification, total),
                pct(targets, targetsChecked), targetsChecked, pct(mnemonic, mnemonicChecked), mnemonicChecked);
  }
};

std::string Base(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

TEST(RealCode, AgreesWithObjdumpAndZydis) {
  oracle::TZydis zydis;
  TTally allObjdump, allZydis;
  std::map<std::string, unsigned> mnemonicMisses;
  std::vector<std::string> missing;
  for (const std::string& path : oracle::RealImages()) {
    oracle::TSection text;
    if (!oracle::ReadTextSection(path, text)) {
      missing.push_back(path);
      continue;
    }
    TBufferMemory memory(text.address, text.bytes);
    TTally vsObjdump, vsZydis;
    for (const oracle::TObjdumpInstr& o : oracle::ObjdumpText(path)) {
      if (o.address < text.address || o.address - text.address >= text.bytes.size()) continue;
      const std::uint8_t* bytes = text.bytes.data() + (o.address - text.address);
      const std::size_t left = std::min<std::size_t>(15, text.bytes.size() - (o.address - text.address));
      TInstrInfo ours = DecodeInstr(memory, o.address);
      const oracle::TReference z = zydis.Decode(bytes, left, o.address);
      std::string operands;
      const std::string om = oracle::ObjdumpMnemonic(o.text, &operands);
      const bool objdumpValid = om != "(bad)" && om != ".byte" && !om.empty();
      ++vsObjdump.total;
      ++vsZydis.total;
      vsObjdump.validity += ours.valid == objdumpValid;
      vsZydis.validity += ours.valid == z.valid;
      vsObjdump.length += !ours.valid || !objdumpValid || ours.detail.length == o.length;
      vsZydis.length += !ours.valid || !z.valid || ours.detail.length == z.length;
      bool objdumpCall = false;
      const bool objdumpBranch = objdumpValid && oracle::ObjdumpBranch(om, objdumpCall);
      // A branch to the next instruction is deliberately no branch for us.
      const bool toNext = ours.valid && !ours.isCall && !ours.isJump && z.relative && (z.target & 0xFFFFFFFF) == ours.nextAddr;
      vsObjdump.classification += toNext || (ours.isCall == (objdumpBranch && objdumpCall) &&
                                             ours.isJump == (objdumpBranch && !objdumpCall));
      vsZydis.classification += toNext || (ours.isCall == z.isCall && ours.isJump == z.isJump);
      if (ours.valid && ours.relativeTarget && z.relative) {
        ++vsZydis.targetsChecked;
        vsZydis.targets += ours.targetAddr == (z.target & 0xFFFFFFFF);
        ++vsObjdump.targetsChecked;
        vsObjdump.targets += ours.targetAddr == std::strtoull(operands.c_str(), nullptr, 16);
      } else if (ours.valid && ours.targetSlotPtr && objdumpBranch) {
        // Absolute indirect branch: the pointer's address, as objdump prints it.
        ++vsObjdump.targetsChecked;
        std::size_t at = operands.find("ds:0x");
        std::uint64_t slot = at == std::string::npos ? 0 : std::strtoull(operands.c_str() + at + 5, nullptr, 16);
        vsObjdump.targets += slot == static_cast<std::uint32_t>(ours.detail.displacement);
      }
      if (ours.valid && objdumpValid && z.valid) {
        std::string mine = oracle::CanonicalMnemonic(MnemonicText(ours));
        std::string theirs = oracle::CanonicalMnemonic(om);
        std::string zm = oracle::CanonicalMnemonic(z.mnemonic);
        if (om == "xchg" && operands == "ax,ax") theirs = "nop";  // 66 90
        // objdump folds wait into the x87 instruction behind it (fstsw = wait + fnstsw).
        if (mine == "wait" && theirs[0] == 'f') theirs = "wait";
        if (oracle::IsStringOperation(ours.opcodeWord)) {
          theirs = oracle::StringStem(theirs) == oracle::StringStem(mine) ? mine : theirs;
        }
        ++vsObjdump.mnemonicChecked;
        ++vsZydis.mnemonicChecked;
        vsObjdump.mnemonic += mine == theirs;
        vsZydis.mnemonic += mine == zm;
        if (mine != zm) ++mnemonicMisses[mine + " / zydis " + zm];
        if (mine != theirs) ++mnemonicMisses[mine + " / objdump " + theirs];
      }
    }
    vsObjdump.Print("objdump", Base(path));
    vsZydis.Print("zydis", Base(path));
    allObjdump.Add(vsObjdump);
    allZydis.Add(vsZydis);
  }
  ASSERT_TRUE(missing.empty()) << missing.front() << " is missing or has no .text: run scripts/fetch-test-images.sh";
  allObjdump.Print("objdump", "all");
  allZydis.Print("zydis", "all");
  std::vector<std::pair<unsigned, std::string>> misses;
  for (const auto& [pair, count] : mnemonicMisses) misses.push_back({count, pair});
  std::sort(misses.rbegin(), misses.rend());
  for (std::size_t i = 0; i < misses.size() && i < 15; ++i)
    std::printf("  mnemonic difference %6u  %s\n", misses[i].first, misses[i].second.c_str());

  // Data inside .text (tables, padding) is decoded by all three; the
  // remaining differences are encodings outside the decoded instruction sets.
  for (const TTally* t : {&allObjdump, &allZydis}) {
    EXPECT_GE(t->validity, t->total * 0.999);
    EXPECT_GE(t->length, t->total * 0.9995);
    EXPECT_GE(t->classification, t->total * 0.9995);
    EXPECT_GE(t->targets, t->targetsChecked * 0.9995);
    EXPECT_GE(t->mnemonic, t->mnemonicChecked * 0.999);
  }
}

}  // namespace
}  // namespace ruvex
