#include "reporter/imaging/Bmp.h"

#include "common/bytes/ByteCursor.h"
#include "common/bytes/LittleEndian.h"

#include <cstring>

namespace ruvex {
namespace {

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
  kelvane::PutLe32(out, imageSize + 54);
  kelvane::PutLe32(out, 0);  // two reserved words
  kelvane::PutLe32(out, 54);
  kelvane::PutLe32(out, 40);
  kelvane::PutLe32(out, static_cast<std::uint32_t>(p.width));
  kelvane::PutLe32(out, static_cast<std::uint32_t>(p.height));  // positive: bottom-up
  kelvane::PutLe16(out, 1);
  kelvane::PutLe16(out, 32);
  kelvane::PutLe32(out, kBiRgb);
  kelvane::PutLe32(out, imageSize);
  kelvane::PutLe32(out, 0);
  kelvane::PutLe32(out, 0);
  kelvane::PutLe32(out, 0);
  kelvane::PutLe32(out, 0);
  out.append(reinterpret_cast<const char*>(p.bits), imageSize);
  return out;
}

namespace {

// The fields of the file header and the 40-byte information header that
// every later header version begins with.
struct TBmpHeader {
  std::uint32_t pixelOffset = 0, headerSize = 0, compression = 0, paletteSize = 0;
  std::int32_t width = 0, rawHeight = 0;
  std::uint16_t planes = 0, bits = 0;
};

std::optional<TBmpHeader> ReadBmpHeader(std::string_view f) {
  kelvane::TByteCursor in(f);
  std::string_view magic;
  TBmpHeader h;
  std::uint32_t ignored;
  if (!in.Bytes(2, magic) || magic != "BM" || !in.Seek(10) || !in.Read(h.pixelOffset) || !in.Read(h.headerSize) ||
      !in.Read(h.width) || !in.Read(h.rawHeight) || !in.Read(h.planes) || !in.Read(h.bits) ||
      !in.Read(h.compression) || !in.Read(ignored) || !in.Skip(8) || !in.Read(h.paletteSize) ||
      f.size() < 54)
    return std::nullopt;
  return h;
}

}  // namespace

std::optional<TPixels> DecodeBmp(std::string_view f) {
  const auto header = ReadBmpHeader(f);
  if (!header) return std::nullopt;
  const std::uint32_t pixelOffset = header->pixelOffset, headerSize = header->headerSize;
  if (headerSize < 40 || headerSize > f.size() - 14) return std::nullopt;
  const std::int32_t width = header->width, rawHeight = header->rawHeight;
  const std::uint32_t bits = header->bits, compression = header->compression;
  if (header->planes != 1 || width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) return std::nullopt;
  const bool topDown = rawHeight < 0;
  const std::int32_t height = topDown ? -rawHeight : rawHeight;
  if (std::uint64_t(width) * std::uint64_t(height) > kMaxPixels) return std::nullopt;

  std::uint32_t masks[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};  // red, green, blue
  if (compression == kBiBitfields && bits == 32) {
    const std::size_t at = 54;  // inside later headers, right after a 40-byte one
    if (at + 12 > f.size()) return std::nullopt;
    for (int i = 0; i < 3; ++i) masks[i] = kelvane::GetLe(f, at + 4 * i, 4);
  } else if (compression != kBiRgb) {
    return std::nullopt;
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return std::nullopt;

  // Palette for 1, 4 and 8 bits: 4 bytes per entry after the header.
  std::uint32_t paletteSize = 0;
  const std::size_t paletteAt = 14 + headerSize;
  if (bits <= 8) {
    paletteSize = header->paletteSize;
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
        const std::uint32_t value = kelvane::GetLe(row, std::size_t(x) * 4, 4);
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
