// A hostile module image: its embedded symbol data and its debug directory
// are searched as for a loaded module; nothing may fault.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/symbols/sources/SymbolSources.h"
#include "common/files/MemoryFileSystem.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  using namespace ruvex;
  TImageMemory memory;
  if (!memory.AddImage(std::vector<std::uint8_t>(bytes, bytes + size), u"C:\\m.dll")) return 0;
  const ModuleEntry module = memory.Modules().at(0);
  kelvane::TMemoryFileSystem files;
  TMapFile map;
  LoadModuleSymbols(map, {memory, files, nullptr}, module.base, module.fileName);
  map.FindPublic(map.BaseOfCode() + 0x100);
  map.FindLine(map.BaseOfCode() + 0x100);
  return 0;
}
