#pragma once
// The code and data ranges of a loaded module, from its PE headers: what
// symbol addresses are relative to, and where the last public ends.
#include <optional>

#include "reporter/engines/memory/MemoryReader.h"
#include "reporter/engines/pe/headers/PeImage.h"

namespace ruvex {

struct TModuleRanges {
  Address baseOfCode = 0, topOfCode = 0;
  Address baseOfData = 0, topOfData = 0;
  Address entryPoint = 0;
  std::uint32_t codeRva = 0;  // the base of code, relative to the module
};

// The first section when it is code (through the second when that is code
// too), else base and size of code; data from base of data (PE32) or the
// first data section (PE32+), as long as the initialised and uninitialised
// data together.
TModuleRanges ModuleRanges(const IMemoryReader& memory, const TNtHeaders& headers);
std::optional<TModuleRanges> ModuleRanges(const IMemoryReader& memory, Address module);

}  // namespace ruvex
