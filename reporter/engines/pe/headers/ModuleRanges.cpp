#include "reporter/engines/pe/headers/ModuleRanges.h"

namespace ruvex {

namespace {
constexpr std::uint32_t kSectionInitialisedData = 0x40;
constexpr std::uint32_t kSectionUninitialisedData = 0x80;
}  // namespace

TModuleRanges ModuleRanges(const IMemoryReader& memory, const TNtHeaders& headers) {
  TModuleRanges r;
  const Address module = headers.module;
  const auto& sections = headers.sections;
  std::uint32_t codeRva = headers.baseOfCode, codeEnd = headers.baseOfCode + headers.sizeOfCode;
  if (!sections.empty() && (sections[0].characteristics & kSectionCode)) {
    codeRva = sections[0].virtualAddress;
    codeEnd = codeRva + sections[0].virtualSize;
    if (sections.size() > 1 && (sections[1].characteristics & kSectionCode))
      codeEnd = sections[1].virtualAddress + sections[1].virtualSize;
  }
  r.codeRva = codeRva;
  r.baseOfCode = module + codeRva;
  r.topOfCode = module + codeEnd;
  r.entryPoint = headers.addressOfEntryPoint ? module + headers.addressOfEntryPoint : 0;

  // The optional header starts 24 bytes behind the signature; the data
  // sizes sit at +8 and +12, a PE32 header's base of data at +24.
  const Address optional = headers.address + 24;
  std::uint32_t initialised = 0, uninitialised = 0, dataRva = 0;
  memory.ReadValue(optional + 8, initialised);
  memory.ReadValue(optional + 12, uninitialised);
  if (!headers.pe32Plus) {
    memory.ReadValue(optional + 24, dataRva);
  } else {
    dataRva = codeEnd;
    for (const TSectionHeader& s : sections)
      if (!(s.characteristics & kSectionCode) && (s.characteristics & (kSectionInitialisedData | kSectionUninitialisedData))) {
        dataRva = s.virtualAddress;
        break;
      }
  }
  r.baseOfData = module + dataRva;
  r.topOfData = r.baseOfData + std::uint64_t{initialised} + uninitialised;
  return r;
}

std::optional<TModuleRanges> ModuleRanges(const IMemoryReader& memory, Address module) {
  const std::optional<TNtHeaders> headers = ImageNtHeaders(memory, module);
  if (!headers) return std::nullopt;
  return ModuleRanges(memory, *headers);
}

}  // namespace ruvex
