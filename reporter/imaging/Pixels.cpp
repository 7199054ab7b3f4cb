#include "reporter/imaging/Pixels.h"

#include <new>

namespace ruvex {

std::optional<TPixels> MakePixels(int width, int height) {
  if (width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > kMaxPixels) return std::nullopt;
  try {
    TPixels p;
    p.width = width;
    p.height = height;
    p.bits.assign(std::size_t(width) * std::size_t(height) * 4, 0);
    return p;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace ruvex
