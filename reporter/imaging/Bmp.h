#pragma once
// BMP files: written as 32-bit bottom-up pictures, read in the common forms.
#include <optional>
#include <string>
#include <string_view>

#include "reporter/imaging/Pixels.h"

namespace ruvex {

// "BM" file header, 40-byte info header (32 bits, no compression), pixels.
std::string EncodeBmp(const TPixelView& pixels);

// Reads uncompressed BMP files of 1, 4, 8, 24 or 32 bits per pixel (info
// header of 40 bytes or later versions, bottom-up or top-down; 32 bits also
// with bit fields) into 32-bit pixels. nullopt for anything else, damaged or
// truncated files and pictures larger than kMaxPixels.
std::optional<TPixels> DecodeBmp(std::string_view file);

}  // namespace ruvex
