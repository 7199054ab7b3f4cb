#include "reporter/engines/trace/support/CodeModel.h"

#include <cstdint>

#include "reporter/engines/x86/Disasm.h"

namespace ruvex {

bool TX86CodeModel32::LooksLikeReturnAddress(const IMemoryReader& memory, Address value) const {
  if (value < 8) return false;
  std::uint8_t before[8];  // before[8 - n] is the byte at value - n
  if (!memory.Read(value - 8, before, sizeof before)) return false;
  auto at = [&](unsigned back) { return before[8 - back]; };
  if (at(5) == 0xE8) return true;  // call rel32
  if (at(7) == 0x9A) return true;  // call far ptr16:32
  // call r/m32 (FF /2) and call m16:32 (FF /3), of every total length.
  for (unsigned length : {2u, 3u, 4u, 6u, 7u})
    if (at(length) == 0xFF && ((at(length - 1) >> 4) & 3) == 1) return true;
  return false;
}

std::optional<TCallSite> TX86CodeModel32::CallAt(const IMemoryReader& memory, Address start,
                                                 Address returnAddress) const {
  const TInstrInfo info = DecodeInstr(memory, start);
  if (!info.valid || !info.isCall || info.nextAddr != returnAddress) return std::nullopt;
  return TCallSite{info.instrAddr, info.targetAddr != 0, info.targetAddr};
}

std::optional<Address> TX86CodeModel32::NextInstruction(const IMemoryReader& memory, Address address) const {
  const TInstrInfo info = DecodeInstr(memory, address);
  if (!info.valid || info.nextAddr <= address) return std::nullopt;
  return info.nextAddr;
}

TFunctionInfo TX86CodeModel32::AnalyseFunction(const IMemoryReader& memory, Address entry,
                                               const TParseOptions& options) const {
  return ParseFunction(memory, entry, options);
}

}  // namespace ruvex
