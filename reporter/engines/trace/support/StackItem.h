#pragma once
// One listed location of a call stack, as the report sections and the
// reporter core receive it.
#include <cstdint>
#include <string>
#include <vector>

#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

struct TStackItem {
  Address Addr = 0;            // the call instruction, or the faulting one for the top item
  std::uint32_t relAddr = 0;   // Addr minus its function's start, when that lies below it
  std::u16string ModuleName;   // file name without path, "???" outside every module
  std::u16string UnitName;
  std::int32_t Line = 0;       // absolute line when a relative one was computed, else 0
  std::int32_t relLine = 0;    // relative line, else the absolute one, 0 when unknown
  std::u16string FunctionName;

  bool operator==(const TStackItem&) const = default;
};

using TStackTrace = std::vector<TStackItem>;

}  // namespace ruvex
