#pragma once
// 32-bit pixels as a device-independent bitmap holds them: 4 bytes per pixel
// (blue, green, red, unused), rows stored bottom-up.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ruvex {

struct TPixelView {
  int width = 0;
  int height = 0;
  std::uint8_t* bits = nullptr;  // width * height * 4 bytes

  bool empty() const { return width <= 0 || height <= 0 || !bits; }
  std::size_t stride() const { return static_cast<std::size_t>(width) * 4; }
  // Row y counted from the top of the picture.
  std::uint8_t* TopRow(int y) const { return bits + static_cast<std::size_t>(height - 1 - y) * stride(); }
  std::uint8_t* At(int x, int y) const { return TopRow(y) + static_cast<std::size_t>(x) * 4; }
};

// Pixels in memory.
struct TPixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bits;

  TPixelView view() { return {width, height, bits.data()}; }
};

// Largest picture we handle: its 32-bit pixels stay below 1 GiB, so that
// every size derived from it fits in 32-bit size arithmetic as well.
constexpr std::uint64_t kMaxPixels = (std::uint64_t(1) << 28) - 1;

// Pixels of the given size, all zero; nullopt for a size out of range or
// when memory runs out.
std::optional<TPixels> MakePixels(int width, int height);

}  // namespace ruvex
