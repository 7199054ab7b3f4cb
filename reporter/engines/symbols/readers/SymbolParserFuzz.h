#pragma once
// The common body of the debug-file fuzz targets: parse untrusted bytes into
// a map, then look up around the edges of its ranges; nothing may fault.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "reporter/engines/symbols/mapfile/MapFile.h"

namespace ruvex {

template <class Parse>
int FuzzSymbolParser(const std::uint8_t* bytes, std::size_t size, Parse parse) {
  const std::string_view data(reinterpret_cast<const char*>(bytes), size);
  TMapFile map(size % 2 == 0);
  map.SetCodeRange(0x401000, 0x501000);
  map.SetDataRange(0x501000, 0x601000);
  parse(data, map);
  map.SortLines();
  for (Address a : {Address{0}, Address{0x401000}, Address{0x401234}, Address{0x500FFF}, Address{0x501000}}) {
    map.FindSegment(true, a);
    map.FindPublic(a);
    map.FindLine(a);
  }
  if (map.PublicCount() > 0)
    map.FindAddress(map.Segments().empty() ? u"" : map.Segments()[0].Unit_, map.Publics()[0].Name);
  return 0;
}

}  // namespace ruvex
