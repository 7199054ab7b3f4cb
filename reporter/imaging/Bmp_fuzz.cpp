// BMP files come from disk and from other programs: the reader must refuse
// damaged ones without reading out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "reporter/imaging/Bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto pixels = ruvex::DecodeBmp(std::string_view(reinterpret_cast<const char*>(data), size));
  if (pixels && pixels->bits.size() != std::size_t(pixels->width) * std::size_t(pixels->height) * 4) std::abort();
  return 0;
}
