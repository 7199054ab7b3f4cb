#pragma once
// Small PNG files of screenshots: a 256-colour palette picture, or a
// 16-level grey picture with 4 bits per pixel, one IDAT chunk, no filtering.
#include <cstdint>
#include <string>
#include <vector>

#include "reporter/imaging/Pixels.h"
#include "reporter/imaging/Quantizer.h"

namespace ruvex {

enum class TPngFormat : std::uint8_t {
  pf256Colors = 0,
  pf16Grays = 1,
  pf50kb = 2,
  pf100kb = 3,
  pf200kb = 4,
  pf300kb = 5,
};

// The format for a colour-depth setting: 4 and the four size limits in
// bytes choose their formats, anything else the 256-colour picture.
TPngFormat PngFormatForDepth(std::int64_t depth);

// The size limit of the formats pf50kb to pf300kb; 0 for the others.
std::uint32_t PngSizeLimit(TPngFormat format);

// The 16 grey levels of the grey picture, dark to light.
extern const std::uint8_t kGreyLevels[16];

// The PNG container: signature, IHDR (depth 8 for a 256-entry palette,
// else 4; colour type 3), PLTE, one IDAT with the zlib stream of rows,
// IEND. rows holds, top row first, each row's filter byte and its data.
std::string BuildPng(int width, int height, const std::vector<TRgb>& palette, const std::string& rows);

// The grey value of a pixel: (red*77 + green*151 + blue*28) / 256.
std::uint8_t GreyOf(const std::uint8_t* bgra);

// Encodings of the pixels, unchanged by the call; empty when encoding fails.
std::string EncodePalettePng(const TPixelView& pixels);
std::string EncodeGreyPng(const TPixelView& pixels);
std::string EncodePng(const TPixelView& pixels, TPngFormat format);

}  // namespace ruvex
