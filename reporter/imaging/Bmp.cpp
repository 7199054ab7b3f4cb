#include "reporter/imaging/Bmp.h"

#include <cstring>

namespace ruvex {
namespace {

void Put16(std::string& out, std::uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::uint32_t Get(std::string_view s, std::size_t off, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= std::uint32_t(static_cast<std::uint8_t>(s[off + i])) << (8 * i);
  return v;
}

constexpr std::uint32_t kBiRgb = 0, kBiBitfields = 3;

// The value of one channel under a bit-field mask, scaled to 8 bits.
std::uint8_t MaskedChannel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const std::uint32_t max = mask >> shift;
  return static_cast<std::uint8_t>(((pixel & mask) >> shift) * 255 / max);
}

}  // namespace

std::string EncodeBmp(const TPixelView& p) {
  if (p.empty()) return {};
  const std::uint32_t imageSize = static_cast<std::uint32_t>(p.stride() * static_cast<std::size_t>(p.height));
  std::string out;
  out.reserve(54 + imageSize);
  out += "BM";
  Put32(out, imageSize + 54);
  Put32(out, 0);  // two reserved words
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(p.width));
  Put32(out, static_cast<std::uint32_t>(p.height));  // positive: bottom-up
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, kBiRgb);
  Put32(out, imageSize);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  out.append(reinterpret_cast<const char*>(p.bits), imageSize);
  return out;
}

std::optional<TPixels> DecodeBmp(std::string_view f) {
  if (f.size() < 54 || f[0] != 'B' || f[1] != 'M') return std::nullopt;
  const std::uint32_t pixelOffset = Get(f, 10, 4);
  const std::uint32_t headerSize = Get(f, 14, 4);
  if (headerSize < 40 || headerSize > f.size() - 14) return std::nullopt;
  const auto width = static_cast<std::int32_t>(Get(f, 18, 4));
  const auto rawHeight = static_cast<std::int32_t>(Get(f, 22, 4));
  const std::uint32_t bits = Get(f, 28, 2), compression = Get(f, 30, 4);
  if (Get(f, 26, 2) != 1 || width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) return std::nullopt;
  const bool topDown = rawHeight < 0;
  const std::int32_t height = topDown ? -rawHeight : rawHeight;
  if (std::uint64_t(width) * std::uint64_t(height) > kMaxPixels) return std::nullopt;

  std::uint32_t masks[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};  // red, green, blue
  if (compression == kBiBitfields && bits == 32) {
    const std::size_t at = 54;  // inside later headers, right after a 40-byte one
    if (at + 12 > f.size()) return std::nullopt;
    for (int i = 0; i < 3; ++i) masks[i] = Get(f, at + 4 * i, 4);
  } else if (compression != kBiRgb) {
    return std::nullopt;
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return std::nullopt;

  // Palette for 1, 4 and 8 bits: 4 bytes per entry after the header.
  std::uint32_t paletteSize = 0;
  const std::size_t paletteAt = 14 + headerSize;
  if (bits <= 8) {
    paletteSize = Get(f, 46, 4);
    if (paletteSize == 0 || paletteSize > (1u << bits)) paletteSize = 1u << bits;
    if (paletteAt + std::size_t(paletteSize) * 4 > f.size()) return std::nullopt;
  }
  const std::uint64_t rowBytes = (std::uint64_t(width) * bits + 31) / 32 * 4;
  if (pixelOffset > f.size() || rowBytes * std::uint64_t(height) > f.size() - pixelOffset) return std::nullopt;

  auto out = MakePixels(width, height);
  if (!out) return std::nullopt;
  const TPixelView v = out->view();
  for (std::int32_t y = 0; y < height; ++y) {
    const std::int32_t fileRow = topDown ? y : height - 1 - y;  // row y from the top
    const std::string_view row = f.substr(pixelOffset + std::size_t(rowBytes) * std::size_t(fileRow), std::size_t(rowBytes));
    for (std::int32_t x = 0; x < width; ++x) {
      std::uint8_t* px = v.At(x, y);
      if (bits == 32) {
        const std::uint32_t value = Get(row, std::size_t(x) * 4, 4);
        px[0] = MaskedChannel(value, masks[2]);
        px[1] = MaskedChannel(value, masks[1]);
        px[2] = MaskedChannel(value, masks[0]);
      } else if (bits == 24) {
        std::memcpy(px, row.data() + std::size_t(x) * 3, 3);
      } else {
        const std::size_t bitPos = std::size_t(x) * bits;
        const auto byte = static_cast<std::uint8_t>(row[bitPos / 8]);
        const std::uint32_t index = (byte >> (8 - bits - bitPos % 8)) & ((1u << bits) - 1);
        if (index < paletteSize) std::memcpy(px, f.data() + paletteAt + index * 4, 3);
      }
    }
  }
  return out;
}

}  // namespace ruvex
