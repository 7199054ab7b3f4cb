// Untrusted debug data: parsing and then looking up must never fault.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "reporter/engines/Td32.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  using namespace ruvex;
  const std::string_view data(reinterpret_cast<const char*>(bytes), size);
  TMapFile map(size % 2 == 0);
  map.SetCodeRange(0x401000, 0x501000);
  map.SetDataRange(0x501000, 0x601000);
  ParseTd32(ExternalDebugData(data), map);
  map.SortLines();
  for (Address a : {Address{0}, Address{0x401000}, Address{0x401234}, Address{0x500FFF}, Address{0x501000}}) {
    map.FindSegment(true, a);
    map.FindPublic(a);
    map.FindLine(a);
  }
  if (map.PublicCount() > 0) map.FindAddress(map.Segments().empty() ? u"" : map.Segments()[0].Unit_, map.Publics()[0].Name);
  return 0;
}
