#include "reporter/imaging/Png.h"

#include <array>
#include <cstdlib>
#include <new>

#include "reporter/archive/Crc32.h"
#include "reporter/archive/Deflate.h"

namespace ruvex {
namespace {

void PutBig32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void AppendChunk(std::string& png, const char* type, const std::string& data) {
  PutBig32(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = png.size();
  png.append(type, 4);
  png += data;
  PutBig32(png, Crc32Of(png.data() + typeAt, png.size() - typeAt));
}

// The grey level nearest to each grey value (first level on a tie).
std::array<std::uint8_t, 256> NearestGreyLevels() {
  std::array<std::uint8_t, 256> nearest{};
  for (int v = 0; v < 256; ++v) {
    int best = 0;
    for (int k = 1; k < 16; ++k)
      if (std::abs(kGreyLevels[k] - v) < std::abs(kGreyLevels[best] - v)) best = k;
    nearest[v] = static_cast<std::uint8_t>(best);
  }
  return nearest;
}

}  // namespace

const std::uint8_t kGreyLevels[16] = {0, 28, 52, 73, 92, 109, 125, 140, 155, 170, 185, 199, 213, 227, 241, 255};

TPngFormat PngFormatForDepth(std::int64_t depth) {
  switch (depth) {
    case 4: return TPngFormat::pf16Grays;
    case 51200: return TPngFormat::pf50kb;
    case 102400: return TPngFormat::pf100kb;
    case 204800: return TPngFormat::pf200kb;
    case 307200: return TPngFormat::pf300kb;
    default: return TPngFormat::pf256Colors;
  }
}

std::uint32_t PngSizeLimit(TPngFormat format) {
  switch (format) {
    case TPngFormat::pf50kb: return 51200;
    case TPngFormat::pf100kb: return 102400;
    case TPngFormat::pf200kb: return 204800;
    case TPngFormat::pf300kb: return 307200;
    default: return 0;
  }
}

std::uint8_t GreyOf(const std::uint8_t* px) {
  return static_cast<std::uint8_t>((px[2] * 77 + px[1] * 151 + px[0] * 28) >> 8);
}

std::string BuildPng(int width, int height, const std::vector<TRgb>& palette, const std::string& rows) {
  if (width <= 0 || height <= 0 || palette.empty() || palette.size() > 256) return {};
  auto stream = DeflateRaw(rows);
  if (!stream) return {};
  try {
    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    PutBig32(header, static_cast<std::uint32_t>(width));
    PutBig32(header, static_cast<std::uint32_t>(height));
    header.push_back(palette.size() == 256 ? 8 : 4);  // bit depth
    header.push_back(3);                               // colour type: palette
    header.append(3, '\0');                            // compression, filter, interlace
    AppendChunk(png, "IHDR", header);
    std::string entries;
    for (const TRgb& c : palette) entries += {char(c.r), char(c.g), char(c.b)};
    AppendChunk(png, "PLTE", entries);
    std::string zlib("\x78\x01", 2);
    zlib += *stream;
    PutBig32(zlib, Adler32Of(rows));
    AppendChunk(png, "IDAT", zlib);
    AppendChunk(png, "IEND", "");
    return png;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::string EncodePalettePng(const TPixelView& p) {
  if (p.empty()) return {};
  std::vector<TRgb> palette = QuantizeColors(p, 256);
  if (palette.empty()) return {};
  palette.resize(256);  // unused entries stay black
  auto indices = MapToPalette(p, palette);
  if (!indices) return {};
  try {
    const std::size_t w = std::size_t(p.width);
    std::string rows;
    rows.reserve((w + 1) * std::size_t(p.height));
    for (int y = 0; y < p.height; ++y) {
      rows.push_back('\0');
      rows.append(*indices, std::size_t(y) * w, w);
    }
    return BuildPng(p.width, p.height, palette, rows);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::string EncodeGreyPng(const TPixelView& p) {
  if (p.empty()) return {};
  static const std::array<std::uint8_t, 256> nearest = NearestGreyLevels();
  try {
    const std::size_t rowBytes = (std::size_t(p.width) + 1) / 2;
    std::string rows;
    rows.reserve((rowBytes + 1) * std::size_t(p.height));
    for (int y = 0; y < p.height; ++y) {
      rows.push_back('\0');
      const std::uint8_t* px = p.TopRow(y);
      for (int x = 0; x < p.width; x += 2, px += 8) {
        std::uint8_t byte = static_cast<std::uint8_t>(nearest[GreyOf(px)] << 4);
        if (x + 1 < p.width) byte |= nearest[GreyOf(px + 4)];
        rows.push_back(static_cast<char>(byte));
      }
    }
    std::vector<TRgb> palette;
    for (std::uint8_t level : kGreyLevels) palette.push_back({level, level, level});
    return BuildPng(p.width, p.height, palette, rows);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::string EncodePng(const TPixelView& p, TPngFormat format) {
  if (format == TPngFormat::pf16Grays) return EncodeGreyPng(p);
  std::string colour = EncodePalettePng(p);
  const std::uint32_t limit = PngSizeLimit(format);
  if (limit == 0 || (!colour.empty() && colour.size() <= limit)) return colour;
  std::string grey = EncodeGreyPng(p);
  if (colour.empty() || (!grey.empty() && grey.size() < colour.size())) return grey;
  return colour;
}

}  // namespace ruvex
