// Any bytes as a PE file: laid out, then every reader of headers, exports,
// resources and version blocks runs over it. None may read out of bounds,
// loop without end or allocate without limit.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "reporter/engines/pe/exports/Exports.h"
#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/pe/headers/PeImage.h"
#include "reporter/engines/pe/resources/Resources.h"
#include "reporter/engines/pe/resources/Version.h"

using namespace ruvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> file(data, data + size);

  // The raw file, as the file-based readers see it.
  const TBufferMemory raw(0, file, false);
  if (const auto headers = ImageNtHeaders(raw, 0)) {
    for (std::uint32_t rva : {0u, headers->addressOfEntryPoint, headers->sizeOfImage - 1}) RvaToFileOffset(*headers, rva);
    ReadDataDirectory(raw, *headers, kDirExport);
  }

  // Small images only: the layout's cost grows with the size the header
  // claims, which says nothing about the readers' robustness.
  TImageMemory memory(16u << 20);
  if (!memory.AddImage(file, u"fuzz.dll")) return 0;
  const Address base = memory.Modules().front().base;
  const auto headers = ImageNtHeaders(memory, base);
  if (!headers) return 0;

  const std::vector<TExport> exports = ListExports(memory, base);
  for (std::size_t i = 0; i < exports.size() && i < 64; ++i) {
    const TExport& e = exports[i];
    ExportName(memory, base, base + e.rva, true);
    ResolveExport(memory, memory, base, e.rva);
    if (!e.name.empty()) ImageProcAddress(memory, memory, base, e.name, true);
  }
  ImageProcAddress(memory, memory, base, "#1", false);
  ModuleOfAddress(memory, memory, base + headers->addressOfEntryPoint);

  for (const TResourceId& type : {TResourceId::Of(kResourceTypeVersion), TResourceId::Of(kResourceTypeRcData),
                                  TResourceId::Of(u"TRUVEXEXCEPT"), TResourceId::First()}) {
    const std::string bytes = ResourceBytes(memory, base, type, TResourceId::First(), 0x409);
    FileVersionFromResource(bytes);
  }
  // The version parser on its own, over the raw input.
  FileVersionFromResource(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
