#pragma once
// Colour reduction to a palette of at most 256 entries by variance-minimising
// box cuts of the colour cube (Wu's quantizer), and the mapping of pixels to
// the palette.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reporter/imaging/Pixels.h"

namespace ruvex {

struct TRgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const TRgb&) const = default;
};

// The palette of the pixels: the weighted mean colour of each box, for at
// most maxColors boxes. Empty for an empty picture or when memory runs out.
std::vector<TRgb> QuantizeColors(const TPixelView& pixels, int maxColors = 256);

// One palette index per pixel, rows top first: the entry with the smallest
// sum of absolute channel differences, first entry on a tie. The choice is
// made once per 15-bit colour (5 bits a channel), for its first pixel.
std::optional<std::string> MapToPalette(const TPixelView& pixels, const std::vector<TRgb>& palette);

}  // namespace ruvex
