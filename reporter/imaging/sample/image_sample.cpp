// Writes the pictures that the image reader checks decode:
//   ruvex_image_sample <folder>
// Each picture's source pixels go beside it as raw RGB rows, top row first.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "common/text/Utf.h"
#include "reporter/imaging/NVBitmap.h"

namespace {

using namespace ruvex;

void Fill(INVBitmap& b, auto colourAt) {
  const TPixelView v = b.Pixels();
  for (int y = 0; y < v.height; ++y)
    for (int x = 0; x < v.width; ++x) {
      const TRgb c = colourAt(x, y);
      std::uint8_t* px = v.At(x, y);
      px[0] = c.b, px[1] = c.g, px[2] = c.r, px[3] = 0;
    }
}

bool WriteRaw(const std::string& path, INVBitmap& b) {
  const TPixelView v = b.Pixels();
  std::string rgb;
  for (int y = 0; y < v.height; ++y)
    for (int x = 0; x < v.width; ++x) rgb += {char(v.At(x, y)[2]), char(v.At(x, y)[1]), char(v.At(x, y)[0])};
  std::ofstream out(path, std::ios::binary);
  out << rgb;
  return bool(out);
}

// Smooth gradients with noise: a photo-like picture with many colours.
TRgb Photo(int x, int y) {
  unsigned h = (unsigned(x) * 73856093u) ^ (unsigned(y) * 19349663u);
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  const int noise = int(h >> 26) - 32;
  auto ch = [&](double v) { return static_cast<std::uint8_t>(std::clamp(int(v) + noise, 0, 255)); };
  return {ch(128 + 120 * std::sin(x / 40.0)), ch(255.0 * y / 300), ch(128 + 120 * std::cos((x + y) / 70.0))};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s folder\n", argv[0]);
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  auto path = [&](const char* name) { return kelvane::Utf8ToUtf16(dir + name); };
  bool ok = true;

  // 240 colours, each in its own 15-bit cell: the palette holds them exactly.
  auto few = CreateNVBitmap(63, 45);
  Fill(*few, [](int x, int y) {
    const int k = (x / 4 + (y / 3) * 16) % 240;
    return TRgb{std::uint8_t((k % 6) * 51), std::uint8_t((k / 6 % 8) * 36), std::uint8_t((k / 48) * 60)};
  });
  ok &= few->SavePng(path("few.png"), TPngFormat::pf256Colors) && few->SaveBmp(path("few.bmp")) &&
        WriteRaw(dir + "few.rgb", *few);

  auto photo = CreateNVBitmap(480, 360);
  Fill(*photo, Photo);
  ok &= photo->SavePng(path("photo.png"), TPngFormat::pf256Colors) && WriteRaw(dir + "photo.rgb", *photo);
  // Too large as a palette picture: the 50 kB format falls back to grey,
  // and the bitmap keeps its colours for the next encoding.
  ok &= photo->SavePng(path("photo-50kb.png"), TPngFormat::pf50kb) && photo->SavePng(path("photo-after.png"), TPngFormat::pf256Colors);

  auto grey = CreateNVBitmap(3, 5);
  Fill(*grey, [](int x, int y) { return TRgb{std::uint8_t(x * 100), std::uint8_t(y * 60), std::uint8_t(255 - x * y * 17)}; });
  ok &= grey->SavePng(path("grey3.png"), TPngFormat::pf16Grays) && WriteRaw(dir + "grey3.rgb", *grey);

  auto zoomSource = CreateNVBitmap(800, 600);
  Fill(*zoomSource, [](int x, int y) {
    return TRgb{std::uint8_t(x * 255 / 799), std::uint8_t(y * 255 / 599), std::uint8_t(((x / 50 + y / 50) % 2) * 200 + 20)};
  });
  auto zoomed = zoomSource->Zoom(400, 400);
  ok &= zoomed && zoomSource->SaveBmp(path("zoom-source.bmp")) && zoomed->SaveBmp(path("zoom-400x400.bmp"));
  return ok ? 0 : 1;
}
