#include "reporter/core/hooks/modules/Calibration.h"

#include <gtest/gtest.h>

#include <cstring>

#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/pe/headers/PeImage.h"
#include "reporter/engines/testing/TestPeBuilder.h"

namespace ruvex {
namespace {

constexpr Address kBase = 0x10000000;

struct TFields {
  std::uint32_t sizeOfCode, sizeOfInitializedData, sizeOfUninitializedData, baseOfCode, baseOfData;
  bool operator==(const TFields&) const = default;
};

// An image laid out in memory, carrying `resource` as RUVEX/CALIBRATE.
TFakeMemoryPatcher LoadedImage(const std::vector<std::uint32_t>& resource, bool pe32Plus) {
  testing::TPeBuilder b;
  b.pe32Plus = pe32Plus;
  b.imageBase = kBase;
  b.sections.push_back({".text", 0x1000, std::vector<std::uint8_t>(0x100, 0xC3)});
  std::vector<std::uint8_t> bytes(resource.size() * 4);
  std::memcpy(bytes.data(), resource.data(), bytes.size());
  b.AddResources(0x2000, {{u"RUVEX", 0, u"CALIBRATE", 0, bytes}});
  TImageMemory image;
  EXPECT_TRUE(image.AddImage(b.Build(), u"C:\\app\\x.exe"));
  std::vector<std::uint8_t> laidOut(image.Modules()[0].size);
  EXPECT_TRUE(image.Read(kBase, laidOut.data(), laidOut.size()));
  return TFakeMemoryPatcher(kBase, laidOut);
}

TFields FieldsOf(const TFakeMemoryPatcher& memory) {
  const auto headers = ImageNtHeaders(memory, kBase);
  std::uint32_t raw[7] = {};
  memory.Read(headers->address + 24, raw, sizeof raw);
  return {raw[1], raw[2], raw[3], raw[5], raw[6]};
}

TEST(Calibration, WritesTheHeaderFieldsByTheModulesRole) {
  const TCalibrationAnchors anchors{kBase + 0x1100, kBase + 0x3200};
  const struct TCase {
    const char* what;
    std::vector<std::uint32_t> resource;
    bool library, pe32Plus, calibrated;
    TFields expected;  // when calibrated
  } cases[] = {
      {"library, relative to its anchors", {0x100, 0x200, 0x5000, 0x3000, 0x400}, true, false, true,
       {0x5000, 0x3000, 0x400, 0x1000, 0x3000}},
      {"other module, top bit cleared", {0x80001000, 0x80004000, 0x5000, 0x3000, 0x400}, false, false, true,
       {0x5000, 0x3000, 0x400, 0x1000, 0x4000}},
      {"library with the top bit set", {0x80001000, 0, 1, 2, 3}, true, false, false, {}},
      {"other module with the top bit clear", {0x1000, 0, 1, 2, 3}, false, false, false, {}},
      {"19 bytes are not 20", {0x100, 0x200, 0x5000, 0x3000}, true, false, false, {}},
      {"24 bytes are not 20", {0x100, 0x200, 0x5000, 0x3000, 0x400, 0}, true, false, false, {}},
  };
  for (const TCase& c : cases) {
    TFakeMemoryPatcher memory = LoadedImage(c.resource, c.pe32Plus);
    const TFields before = FieldsOf(memory);
    EXPECT_EQ(CalibrateModule(memory, kBase, c.library, anchors), c.calibrated) << c.what;
    EXPECT_EQ(FieldsOf(memory), c.calibrated ? c.expected : before) << c.what;
    EXPECT_EQ(memory.ProtectionAt(kBase), TFakeMemoryPatcher::kReadOnly) << c.what;
  }
}

TEST(Calibration, SixtyFourBitImagesHaveNoBaseOfData) {
  TFakeMemoryPatcher memory = LoadedImage({0x80001000, 0x80004000, 0x5000, 0x3000, 0x400}, true);
  ASSERT_TRUE(CalibrateModule(memory, kBase, false, {}));
  const auto headers = ImageNtHeaders(memory, kBase);
  EXPECT_EQ(headers->baseOfCode, 0x1000u);
  EXPECT_EQ(headers->sizeOfCode, 0x5000u);
  EXPECT_EQ(headers->imageBase, kBase);  // where a 32-bit image keeps its base of data
  EXPECT_GT(memory.flushes, 0);
}

TEST(Calibration, TakesTheExecutableTheLibraryAndPackagesOnly) {
  // One image serves as every module here; what counts is which are asked.
  TFakeMemoryPatcher memory = LoadedImage({0x80001000, 0x80004000, 0x5000, 0x3000, 0x400}, false);
  const std::vector<ModuleEntry> modules = {{kBase, 0x3000, u"C:\\app\\Pkg.BPL"}};
  EXPECT_EQ(CalibrateModules(memory, modules, kBase + 0x100000, kBase + 0x100000, {}), 1);
  const std::vector<ModuleEntry> notPackage = {{kBase, 0x3000, u"C:\\app\\lib.dll"}};
  TFakeMemoryPatcher untouched = LoadedImage({0x80001000, 0x80004000, 0x5000, 0x3000, 0x400}, false);
  EXPECT_EQ(CalibrateModules(untouched, notPackage, kBase + 0x100000, kBase + 0x100000, {}), 0);
}

}  // namespace
}  // namespace ruvex
