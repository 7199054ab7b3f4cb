// Times the packing of a 1 MB bug report and an 8 MB bitmap and the PNG
// encoding of a 1920 x 1080 screenshot, each against its reference:
// zlib's one-shot raw deflate of the same data at the same level, and a
// libpng writer of the same palette rows.
#include <png.h>
#include <zlib.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "BenchRows.h"
#include "reporter/archive/Block.h"
#include "reporter/archive/Deflate.h"
#include "reporter/imaging/Png.h"

namespace {

using namespace ruvex;

std::string ZlibOneShot(const std::string& data) {
  z_stream z{};
  deflateInit2(&z, kDeflateLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string Report(std::size_t size) {
  std::string s;
  for (unsigned i = 0; s.size() < size; ++i) {
    char line[160];
    std::snprintf(line, sizeof line, "%08x  %08x  Kelvane.exe  Unit%u.pas  %u  [+%u]  TForm%u.Handler%u\r\n",
                  0x401000 + i * 37, 0x12f000 + i * 4, i % 17, 100 + i % 900, i % 13, i % 5, i % 41);
    s += line;
  }
  s.resize(size);
  return s;
}

TPixels Screenshot(int width, int height) {
  TPixels p = *MakePixels(width, height);
  const TPixelView v = p.view();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* px = v.At(x, y);
      const bool window = (x / 300 + y / 200) % 3 == 0;
      px[0] = window ? 240 : static_cast<std::uint8_t>(128 + 100 * std::sin(x / 90.0));
      px[1] = window ? 240 : static_cast<std::uint8_t>(y * 255 / height);
      px[2] = window ? static_cast<std::uint8_t>(x % 7 == 0 ? 0 : 240) : 90;
    }
  return p;
}

struct TPngBuffer {
  std::string bytes;
  static void Write(png_structp png, png_bytep data, png_size_t length) {
    static_cast<TPngBuffer*>(png_get_io_ptr(png))->bytes.append(reinterpret_cast<char*>(data), length);
  }
};

// libpng writing the same palette rows: same level, no filtering.
std::string LibpngWrite(int width, int height, const std::vector<TRgb>& palette, const std::string& indices) {
  TPngBuffer buffer;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &buffer, &TPngBuffer::Write, nullptr);
  png_set_compression_level(png, kDeflateLevel);
  png_set_filter(png, 0, PNG_FILTER_NONE);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> entries;
  for (const TRgb& c : palette) entries.push_back({c.r, c.g, c.b});
  png_set_PLTE(png, info, entries.data(), static_cast<int>(entries.size()));
  png_write_info(png, info);
  for (int y = 0; y < height; ++y)
    png_write_row(png, reinterpret_cast<png_const_bytep>(indices.data() + std::size_t(y) * width));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return buffer.bytes;
}

void Compare(const char* what, std::size_t bytes, bench::TTiming ours, bench::TTiming reference,
             const char* referenceName) {
  std::printf("%-34s %9zu bytes  ours %8.2f ms  %-18s %8.2f ms  ratio %.2f\n", what, bytes, ours.median * 1e3,
              referenceName, reference.median * 1e3, ours.median / reference.median);
  bench::Row(std::string(what) + ", ms", ours, referenceName, reference, 1e3, "ms");
}

}  // namespace

int main() {
  const std::string report = Report(1 << 20);
  std::size_t packed = 0;
  const bench::TTiming packReport = bench::Measure([&] { packed = PackBlock(report, false).size(); });
  const bench::TTiming zlibReport = bench::Measure([&] { ZlibOneShot(report); });
  Compare("pack 1 MB bug report", packed, packReport, zlibReport, "zlib one-shot");

  TPixels bitmap = Screenshot(2048, 1024);  // 8 MB of 32-bit pixels
  const std::string bitmapBytes(reinterpret_cast<const char*>(bitmap.bits.data()), bitmap.bits.size());
  const bench::TTiming packBitmap = bench::Measure([&] { packed = PackBlock(bitmapBytes, false).size(); }, 3);
  const bench::TTiming zlibBitmap = bench::Measure([&] { ZlibOneShot(bitmapBytes); }, 3);
  Compare("pack 8 MB bitmap", packed, packBitmap, zlibBitmap, "zlib one-shot");

  TPixels screen = Screenshot(1920, 1080);
  const TPixelView view = screen.view();
  std::size_t pngSize = 0;
  const bench::TTiming encode = bench::Measure([&] { pngSize = EncodePalettePng(view).size(); }, 3);
  // The reference writes the rows our quantizer chose, so the comparison
  // is of the container and compression work plus our colour reduction.
  std::vector<TRgb> palette = QuantizeColors(view);
  palette.resize(256);
  const std::string indices = *MapToPalette(view, palette);
  const bench::TTiming quantize = bench::Measure([&] {
    auto p = QuantizeColors(view);
    p.resize(256);
    MapToPalette(view, p);
  }, 3);
  std::size_t libpngSize = 0;
  const bench::TTiming libpng = bench::Measure([&] { libpngSize = LibpngWrite(1920, 1080, palette, indices).size(); }, 3);
  Compare("encode 1920x1080 palette PNG", pngSize, encode, libpng, "libpng rows");
  std::printf("%-34s %9s        of which quantizing and mapping %.2f ms; libpng file %zu bytes\n", "", "",
              quantize.median * 1e3, libpngSize);
  const bench::TTiming rowsOnly{encode.median - quantize.median, encode.spread};
  std::printf("%-34s %9s        rows and container alone: ours %.2f ms, ratio to libpng %.2f\n", "", "",
              rowsOnly.median * 1e3, rowsOnly.median / libpng.median);
  bench::Row("PNG rows and container 1920x1080, ms", rowsOnly, "libpng rows", libpng, 1e3, "ms");
  return 0;
}
