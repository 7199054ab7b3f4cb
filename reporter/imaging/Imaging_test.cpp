#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "reporter/archive/Deflate.h"
#include "common/files/MemoryFileSystem.h"
#include "reporter/imaging/Bmp.h"
#include "reporter/imaging/NVBitmap.h"
#include "reporter/imaging/Zoom.h"

namespace ruvex {
namespace {

std::uint32_t Big32(const std::string& s, std::size_t off) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<std::uint8_t>(s[off + i]);
  return v;
}

void Paint(INVBitmap& b, TRgb c) {
  const TPixelView v = b.Pixels();
  for (int y = 0; y < v.height; ++y)
    for (int x = 0; x < v.width; ++x) v.At(x, y)[0] = c.b, v.At(x, y)[1] = c.g, v.At(x, y)[2] = c.r;
}

// The IDAT rows of a PNG we wrote: the zlib stream's raw deflate part.
std::string RowsOf(const std::string& png, std::size_t rowsSize) {
  std::size_t at = 8;
  while (at + 8 <= png.size()) {
    const std::uint32_t length = Big32(png, at);
    if (png.compare(at + 4, 4, "IDAT") == 0)
      return InflateRaw(png.substr(at + 10, length - 6), rowsSize).value_or("<damaged>");
    at += 12 + length;
  }
  return "<no IDAT>";
}

TEST(Imaging, FitsTheAspectRatioInsideTheMaximum) {
  const struct {
    int w, h, maxW, maxH;
    TSize expected;
  } cases[] = {
      {800, 600, 400, 400, {400, 300}}, {600, 800, 400, 400, {300, 400}}, {100, 50, 400, 400, {400, 200}},
      {400, 400, 400, 400, {400, 400}}, {1920, 1080, 200, 200, {200, 112}}, {5000, 1, 100, 100, {100, 1}},
      {0, 600, 400, 400, {0, 0}},       {800, 600, 0, 400, {0, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(FitInside(c.w, c.h, c.maxW, c.maxH), c.expected) << c.w << "x" << c.h;
  EXPECT_NEAR(MitchellWeight(0), 8.0 / 9.0, 1e-12);
  EXPECT_NEAR(MitchellWeight(1), 1.0 / 18.0, 1e-12);
  EXPECT_EQ(MitchellWeight(2), 0);
}

TEST(Imaging, ZoomKeepsAFlatColourAndTheSize) {
  auto b = CreateNVBitmap(800, 600);
  ASSERT_TRUE(b);
  Paint(*b, {200, 10, 90});
  auto z = b->Zoom(400, 400);
  ASSERT_TRUE(z);
  EXPECT_EQ(z->GetWidth(), 400);
  EXPECT_EQ(z->GetHeight(), 300);
  const TPixelView v = z->Pixels();
  for (int y : {0, 150, 299})
    for (int x : {0, 200, 399}) EXPECT_EQ((TRgb{v.At(x, y)[2], v.At(x, y)[1], v.At(x, y)[0]}), (TRgb{200, 10, 90}));
  EXPECT_FALSE(b->Zoom(0, 100));
  auto up = CreateNVBitmap(1, 1);
  ASSERT_TRUE(up->Zoom(3, 3));  // a 1-pixel picture mirrors onto itself
}

TEST(Imaging, GreyConversionAndFormats) {
  const std::uint8_t red[4] = {0, 0, 255, 0};
  EXPECT_EQ(GreyOf(red), 76);
  auto b = CreateNVBitmap(3, 2);
  Paint(*b, {255, 0, 0});
  const std::string png = b->AsPngStr(TPngFormat::pf16Grays);
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(png[24], 4);  // bit depth
  EXPECT_EQ(png[25], 3);  // palette
  // Rows of 3 bytes: filter 0, two pixels, the third in the high nibble.
  // Level 3 (73) is nearest to 76.
  EXPECT_EQ(RowsOf(png, 6), std::string("\x00\x33\x30\x00\x33\x30", 6));
  // The bitmap keeps its colours.
  EXPECT_EQ(b->Pixels().At(0, 0)[2], 255);
  EXPECT_EQ(b->Pixels().At(0, 0)[1], 0);

  const struct {
    std::int64_t depth;
    TPngFormat format;
  } depths[] = {{4, TPngFormat::pf16Grays},     {51200, TPngFormat::pf50kb},   {102400, TPngFormat::pf100kb},
                {204800, TPngFormat::pf200kb},  {307200, TPngFormat::pf300kb}, {8, TPngFormat::pf256Colors},
                {0, TPngFormat::pf256Colors},   {-4, TPngFormat::pf256Colors}};
  for (const auto& d : depths) EXPECT_EQ(PngFormatForDepth(d.depth), d.format) << d.depth;
}

TEST(Imaging, PalettePngHoldsAllColoursOfASmallPicture) {
  auto b = CreateNVBitmap(5, 2);
  const TPixelView v = b->Pixels();
  const TRgb colours[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}, {0, 0, 0}};
  for (int x = 0; x < 5; ++x)
    for (int y = 0; y < 2; ++y) v.At(x, y)[0] = colours[x].b, v.At(x, y)[1] = colours[x].g, v.At(x, y)[2] = colours[x].r;
  const std::vector<TRgb> palette = QuantizeColors(v);
  ASSERT_EQ(palette.size(), 5u);
  const std::string indices = *MapToPalette(v, palette);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(palette[static_cast<std::uint8_t>(indices[x])], colours[x]);
  const std::string png = b->AsPngStr(TPngFormat::pf256Colors);
  EXPECT_EQ(png[24], 8);
  EXPECT_EQ(Big32(png, 33), 768u);  // PLTE of 256 entries
  // A flat picture has one box.
  Paint(*b, {1, 2, 3});
  EXPECT_EQ(QuantizeColors(b->Pixels()).size(), 1u);
}

TEST(Imaging, EmptyPicturesEncodeToNothing) {
  EXPECT_FALSE(CreateNVBitmap(0, 10));
  EXPECT_FALSE(CreateNVBitmap(10, -1));
  EXPECT_FALSE(CreateNVBitmap(1 << 16, 1 << 16));
  const TPixelView empty;
  EXPECT_EQ(EncodePng(empty, TPngFormat::pf50kb), "");
  EXPECT_EQ(EncodeBmp(empty), "");
  EXPECT_TRUE(QuantizeColors(empty).empty());
}

TEST(Imaging, BmpRoundTripsAndRefusesDamagedFiles) {
  auto b = CreateNVBitmap(7, 3);
  const TPixelView v = b->Pixels();
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) v.At(x, y)[0] = std::uint8_t(x * 30), v.At(x, y)[1] = std::uint8_t(y * 80), v.At(x, y)[2] = 7;
  const std::string bmp = b->AsBmpStr();
  ASSERT_EQ(bmp.size(), 54u + 7 * 3 * 4);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  auto back = DecodeBmp(bmp);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->bits, std::vector<std::uint8_t>(v.bits, v.bits + 84));

  auto patched = [&](std::size_t at, std::uint32_t value) {
    std::string s = bmp;
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(value >> (8 * i));
    return s;
  };
  const std::string bad[] = {
      "", bmp.substr(0, 53), bmp.substr(0, bmp.size() - 1), "XM" + bmp.substr(2),
      patched(18, 0), patched(18, 0x7FFFFFFF), patched(22, 0x80000000), patched(10, 0xFFFFFFF0),
      patched(14, 0xFFFFFFFF), patched(30, 1) /* run-length compressed */,
  };
  for (const std::string& s : bad) EXPECT_FALSE(DecodeBmp(s)) << s.size();

  // A top-down 24-bit file reads to the same picture.
  std::string top = bmp.substr(0, 54);
  top[28] = 24;
  for (int i = 0; i < 4; ++i) top[22 + i] = static_cast<char>(std::uint32_t(-3) >> (8 * i));
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 7; ++x) top.append(reinterpret_cast<const char*>(v.At(x, y)), 3);
    top.append(3, '\0');  // rows padded to 4 bytes
  }
  auto fromTop = DecodeBmp(top);
  ASSERT_TRUE(fromTop);
  EXPECT_EQ(fromTop->bits, back->bits);
}

// Files another writer made (PIL): palette and 24-bit forms.
TEST(Imaging, ReadsBmpFilesOfOtherWriters) {
  const char* dir = std::getenv("KELVANE_SOURCE_DIR");
  ASSERT_TRUE(dir);
  const struct {
    const char* name;
    TRgb colour;
  } cases[] = {{"24bit.bmp", {10, 200, 30}}, {"8bit.bmp", {10, 200, 30}}, {"1bit.bmp", {255, 255, 255}}};
  for (const auto& c : cases) {
    std::ifstream in(std::string(dir) + "/reporter/imaging/fuzz-seeds/Bmp/" + c.name, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto p = DecodeBmp(file);
    ASSERT_TRUE(p) << c.name;
    EXPECT_EQ(p->width, 5);
    EXPECT_EQ(p->height, 3);
    const TPixelView v = p->view();
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ((TRgb{v.At(x, y)[2], v.At(x, y)[1], v.At(x, y)[0]}), c.colour) << c.name;
  }
}

TEST(Imaging, SavingWritesWholeFilesOrNothing) {
  kelvane::TMemoryFileSystem fs;
  auto b = CreateNVBitmap(20, 20, fs);
  Paint(*b, {9, 99, 199});
  ASSERT_TRUE(b->SavePng(u"shot.png", TPngFormat::pf256Colors));
  EXPECT_EQ(fs.files.at(u"shot.png").data, b->AsPngStr(TPngFormat::pf256Colors));
  ASSERT_TRUE(b->SaveBmp(u"shot.bmp"));
  auto loaded = LoadBitmapFile(u"shot.bmp", fs);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->AsBmpStr(), b->AsBmpStr());
  EXPECT_FALSE(LoadBitmapFile(u"shot.png", fs));
  EXPECT_FALSE(LoadBitmapFile(u"missing.bmp", fs));

  fs.writeBudget = 100;  // the disk fills up
  EXPECT_FALSE(b->SaveBmp(u"shot.bmp"));
  EXPECT_FALSE(b->SavePng(u"new.png", TPngFormat::pf16Grays));
  EXPECT_EQ(fs.files.size(), 2u);
  EXPECT_EQ(fs.files.at(u"shot.bmp").data, b->AsBmpStr());
}

}  // namespace
}  // namespace ruvex
