// Untrusted debug data: parsing and then looking up must never fault.
#include "reporter/engines/symbols/readers/CompactSymbols.h"
#include "reporter/engines/symbols/readers/SymbolParserFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  using namespace ruvex;
  return FuzzSymbolParser(bytes, size, [](std::string_view data, TMapFile& map) { ParseCompactSymbols(data, map); });
}
