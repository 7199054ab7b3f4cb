// Headers, layout and exports over synthetic images: PE32+, hostile
// headers, exports by ordinal, forwarder chains and loops, the checks of
// ImageProcAddress.
#include "reporter/engines/pe/headers/PeImage.h"

#include <gtest/gtest.h>

#include "reporter/engines/pe/exports/Exports.h"
#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/testing/TestPeBuilder.h"

namespace ruvex {
namespace {

using testing::Put16;
using testing::Put32;
using testing::TPeBuilder;

TPeBuilder CodeImage(bool pe32Plus, std::uint64_t base) {
  TPeBuilder b;
  b.pe32Plus = pe32Plus;
  b.imageBase = base;
  b.sections.push_back({".text", 0x1000, std::vector<std::uint8_t>(0x300, 0xCC)});
  b.sections.push_back({".bss", 0x2000, {}, 0xC0000080, 0x800});  // no file bytes
  return b;
}

TEST(PeImage, BothHeaderFormsLayOutAtTheirBase) {
  for (const bool plus : {false, true}) {
    SCOPED_TRACE(plus ? "PE32+" : "PE32");
    const std::uint64_t base = plus ? 0x140000000ull : 0x400000;
    const auto file = CodeImage(plus, base).Build();
    TImageMemory memory;
    std::string error;
    ASSERT_TRUE(memory.AddImage(file, u"C:\\a\\test.dll", &error)) << error;

    const auto h = ImageNtHeaders(memory, base);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->pe32Plus, plus);
    EXPECT_EQ(h->imageBase, base);
    EXPECT_EQ(ImageSize(*h), 0x3000u);
    EXPECT_EQ(h->numberOfRvaAndSizes, 16u);
    EXPECT_EQ(ImageDataDirectory(memory, base, 2), h->address + 4 + 20 + (plus ? 112 : 96) + 16);
    EXPECT_FALSE(ImageDataDirectory(memory, base, 16));
    ASSERT_EQ(h->sections.size(), 2u);
    EXPECT_EQ(h->sections[0].name, ".text");

    std::uint8_t code = 0;
    EXPECT_TRUE(memory.ReadValue(base + 0x12FF, code));
    EXPECT_EQ(code, 0xCC);
    const auto text = memory.RegionAt(base + 0x1000);
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->executable && text->readable && !text->writable);
    const auto bss = memory.RegionAt(base + 0x27FF);
    ASSERT_TRUE(bss);
    EXPECT_TRUE(bss->writable && !bss->executable);
    EXPECT_EQ(memory.ModuleAt(base + 0x2FFF)->fileName, u"C:\\a\\test.dll");
    EXPECT_FALSE(memory.Read(base + 0x2FFF, &code, 2));  // past the image
    EXPECT_FALSE(memory.RegionAt(base + 0x3000));
  }
}

TEST(PeImage, RvaToFileOffsetFollowsTheSectionTable) {
  const auto file = CodeImage(false, 0x400000).Build();
  const auto h = ImageNtHeaders(TBufferMemory(0, file, false), 0);
  ASSERT_TRUE(h);
  const std::uint32_t raw = h->sections[0].pointerToRawData;
  struct {
    std::uint32_t rva;
    std::optional<std::uint32_t> offset;
  } cases[] = {{0x40, 0x40}, {0x1000, raw}, {0x12FF, raw + 0x2FF}, {0x1FFF, std::nullopt}, {0x2000, std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(RvaToFileOffset(*h, c.rva), c.offset) << std::hex << c.rva;
}

TEST(PeImage, HostileHeadersAreRefusedWithAReason) {
  const auto good = CodeImage(false, 0x400000).Build();
  const std::size_t opt = 0x40 + 4 + 20;
  struct {
    const char* what;
    std::size_t at;
    std::uint32_t value;
    int width;
  } cases[] = {
      {"no MZ", 0, 0x5A4E, 16},
      {"PE offset past the file", 0x3C, 0x7FFFFFF0, 32},
      {"bad signature", 0x40, 0x4551, 32},
      {"unknown optional header", opt, 0x10C, 16},
      {"size of image zero", opt + 56, 0, 32},
      {"size of image huge", opt + 56, 0xF0000000, 32},
      {"alignment not a power of two", opt + 32, 0x1001, 32},
      {"image base zero", opt + 28, 0, 32},
      {"image past 4 GiB", opt + 28, 0xFFFFF000, 32},
  };
  for (const auto& c : cases) {
    auto file = good;
    if (c.width == 16)
      Put16(file, c.at, c.value);
    else
      Put32(file, c.at, c.value);
    TImageMemory memory;
    std::string error;
    EXPECT_FALSE(memory.AddImage(file, u"x", &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
    EXPECT_TRUE(memory.Modules().empty());
  }
  // Truncated anywhere before the end of the section table: refused, never
  // read past the end.
  const std::size_t tableEnd = opt + 96 + 128 + 2 * 40;
  for (std::size_t size = 0; size < tableEnd; size += 7) {
    TImageMemory memory;
    EXPECT_FALSE(memory.AddImage(std::vector<std::uint8_t>(good.begin(), good.begin() + size), u"x")) << size;
  }
}

TEST(PeImage, SectionsAreClippedToTheImageAndToTheFile) {
  TPeBuilder b = CodeImage(false, 0x400000);
  b.sizeOfImage = 0x1800;  // .text reaches past it, .bss lies beyond it
  auto file = b.Build();
  // The first section claims far more raw data than the file holds.
  Put32(file, 0x40 + 4 + 20 + 96 + 128 + 16, 0x100000);
  TImageMemory memory;
  std::string error;
  ASSERT_TRUE(memory.AddImage(file, u"x", &error)) << error;
  std::uint8_t byte = 1;
  EXPECT_TRUE(memory.ReadValue(0x4017FF, byte));
  EXPECT_FALSE(memory.RegionAt(0x401800));
  EXPECT_FALSE(memory.ReadValue(0x402000, byte));
}

TEST(PeImage, OverlappingImagesAreRefused) {
  TImageMemory memory;
  ASSERT_TRUE(memory.AddImage(CodeImage(false, 0x400000).Build(), u"a"));
  std::string error;
  EXPECT_FALSE(memory.AddImage(CodeImage(false, 0x402000).Build(), u"b", &error));
  EXPECT_NE(error.find("overlaps"), std::string::npos);
  EXPECT_TRUE(memory.AddImage(CodeImage(false, 0x403000).Build(), u"c"));
  EXPECT_EQ(memory.Modules().size(), 2u);
}

TEST(ReadCString, StopsAtTheLimitAndAtUnreadableMemory) {
  std::vector<std::uint8_t> bytes(200, 'a');
  bytes[150] = 0;
  const TBufferMemory memory(0x1000, bytes);
  EXPECT_EQ(ReadCString(memory, 0x1000)->size(), 150u);
  EXPECT_EQ(ReadCString(memory, 0x1000 + 149), "a");
  EXPECT_FALSE(ReadCString(memory, 0x1000, 149));  // not terminated within the limit
  EXPECT_TRUE(ReadCString(memory, 0x1000, 150));
  EXPECT_FALSE(ReadCString(memory, 0x1000 + 151));  // runs off the end unterminated
  EXPECT_EQ(ReadCString(memory, 0x1000 + 150), "");
}

// Two modules that export to each other, for the export tests.
struct TExportFixture {
  TImageMemory memory;
  static constexpr Address kA = 0x10000000, kB = 0x20000000;

  TExportFixture() {
    TPeBuilder a = CodeImage(false, kA);
    a.AddExports(0x3000, "a.dll",
                 {{"First", 0x1010, ""},
                  {"", 0x1020, ""},             // by ordinal only
                  {"ToB", 0, "b.Target"},
                  {"ToBByOrdinal", 0, "B.#2"},
                  {"Loop", 0, "b.LoopBack"},
                  {"Self", 0, "a.First"},
                  {"Missing", 0, "nowhere.Thing"},
                  {"@Unit1@TForm1@Button1Click$qqrp14System@TObject", 0x1030, ""},
                  {"Patched", 0x7FFF0000, ""}},
                 5);
    TPeBuilder b = CodeImage(false, kB);
    b.AddExports(0x3000, "b.dll", {{"Target", 0x1100, ""}, {"Second", 0x1200, ""}, {"LoopBack", 0, "a.Loop"}});
    EXPECT_TRUE(memory.AddImage(a.Build(), u"C:\\dir\\A.DLL"));
    EXPECT_TRUE(memory.AddImage(b.Build(), u"C:\\dir\\b.dll"));
  }
  std::optional<Address> Proc(const std::string& name, bool doubleCheck = false, const TProcAddressHooks& hooks = {}) {
    return ImageProcAddress(memory, memory, kA, name, doubleCheck, hooks);
  }
};

TEST(Exports, NamesOrdinalsAndUnmangledNames) {
  TExportFixture f;
  struct {
    Address address;
    bool unmangle;
    std::u16string name;
  } cases[] = {
      {f.kA + 0x1010, false, u"First"},
      {f.kA + 0x1020, false, u"#6"},  // ordinal base 5 + index 1
      {f.kA + 0x1030, true, u"Unit1.TForm1.Button1Click"},
      {f.kA + 0x1030, false, u"@Unit1@TForm1@Button1Click$qqrp14System@TObject"},
      {f.kA + 0x1040, false, u""},
      {f.kB + 0x1200, false, u"Second"},
  };
  for (const auto& c : cases) {
    const Address module = c.address >= f.kB ? f.kB : f.kA;
    EXPECT_EQ(ExportName(f.memory, module, c.address, c.unmangle), c.name) << std::hex << c.address;
  }
  const auto all = ListExports(f.memory, f.kA);
  ASSERT_EQ(all.size(), 9u);
  EXPECT_EQ(all[2].forwarder, "b.Target");
  EXPECT_EQ(all[1].ordinal, 6u);
}

TEST(Exports, ForwardersFollowLoadedModulesWithinBounds) {
  TExportFixture f;
  EXPECT_EQ(f.Proc("First"), f.kA + 0x1010);
  EXPECT_EQ(f.Proc("ToB"), f.kB + 0x1100);             // module found without case or extension
  EXPECT_EQ(f.Proc("ToBByOrdinal"), f.kB + 0x1200);    // "#2" is ordinal 2 of b
  EXPECT_EQ(f.Proc("#6"), f.kA + 0x1020);
  EXPECT_FALSE(f.Proc("Loop"));     // a -> b -> a -> ... ends at the chain limit
  EXPECT_FALSE(f.Proc("Self"));     // a forwarder into its own module
  EXPECT_FALSE(f.Proc("Missing"));  // module not loaded
  EXPECT_FALSE(f.Proc("first"));    // names compare exactly
  EXPECT_FALSE(f.Proc("#99"));
}

TEST(Exports, DoubtfulEntriesAreConfirmedOrTakenFromTheFile) {
  TExportFixture f;
  int verifyCalls = 0;
  TProcAddressHooks hooks;
  hooks.verify = [&](Address, const std::string&, std::uint32_t) -> std::optional<std::uint32_t> {
    ++verifyCalls;
    return std::nullopt;
  };
  // The "file" has the same directory but the unpatched entry.
  TPeBuilder original = CodeImage(false, f.kA);
  original.AddExports(0x3000, "a.dll",
                      {{"First", 0x1010, ""}, {"", 0x1020, ""}, {"ToB", 0, "b.Target"}, {"ToBByOrdinal", 0, "B.#2"},
                       {"Loop", 0, "b.LoopBack"}, {"Self", 0, "a.First"}, {"Missing", 0, "nowhere.Thing"},
                       {"@Unit1@TForm1@Button1Click$qqrp14System@TObject", 0x1030, ""}, {"Patched", 0x1050, ""}},
                      5);
  hooks.mapFile = [&](Address) -> std::unique_ptr<IMemoryReader> {
    auto file = std::make_unique<TImageMemory>();
    EXPECT_TRUE(file->AddImage(original.Build(), u"a"));
    return file;
  };
  EXPECT_EQ(f.Proc("Patched", false, hooks), f.kA + 0x1050);  // beyond the image: checked
  EXPECT_EQ(verifyCalls, 1);
  EXPECT_EQ(f.Proc("First", false, hooks), f.kA + 0x1010);  // plausible: not checked
  EXPECT_EQ(verifyCalls, 1);
  EXPECT_EQ(f.Proc("First", true, hooks), f.kA + 0x1010);
  EXPECT_EQ(verifyCalls, 2);

  hooks.verify = [](Address, const std::string&, std::uint32_t) -> std::optional<std::uint32_t> { return 0x1060; };
  EXPECT_EQ(f.Proc("Patched", false, hooks), f.kA + 0x1060);

  hooks.systemLookup = [](Address, const std::string& name) -> std::optional<Address> {
    return name == "Elsewhere" ? std::optional<Address>(0x12345678) : std::nullopt;
  };
  EXPECT_EQ(f.Proc("Elsewhere", false, hooks), 0x12345678u);
  EXPECT_FALSE(f.Proc("Nothing", false, hooks));
}

TEST(Exports, ModuleOfAddressUsesTheRegionsAllocationBase) {
  TExportFixture f;
  EXPECT_EQ(ModuleOfAddress(f.memory, f.memory, f.kB + 0x1234)->fileName, u"C:\\dir\\b.dll");
  EXPECT_EQ(ModuleOfAddress(f.memory, f.memory, f.kA)->base, f.kA);
  EXPECT_FALSE(ModuleOfAddress(f.memory, f.memory, f.kA + 0x100000));
}

TEST(Exports, NamesAreFoundInTablesThatAreNotSorted) {
  TPeBuilder b = CodeImage(false, 0x10000000);
  std::vector<testing::TTestExport> exports;
  for (int i = 0; i < 40; ++i) exports.push_back({"Name" + std::to_string(100 + i), 0x1000u + 4u * i, ""});
  b.AddExports(0x3000, "u.dll", exports);
  auto file = b.Build();
  // Reverse the name table together with its ordinals: every pair stays
  // right, the order is wrong for a binary search.
  const std::size_t names = 0x800 + 40 + 4 * 40, ordinals = names + 4 * 40;
  for (int i = 0; i < 20; ++i) {
    for (std::size_t k = 0; k < 4; ++k) std::swap(file[names + 4 * i + k], file[names + 4 * (39 - i) + k]);
    for (std::size_t k = 0; k < 2; ++k) std::swap(file[ordinals + 2 * i + k], file[ordinals + 2 * (39 - i) + k]);
  }
  TImageMemory memory;
  ASSERT_TRUE(memory.AddImage(file, u"u"));
  for (int i = 0; i < 40; ++i)
    EXPECT_EQ(ExportEntryByName(memory, 0x10000000, "Name" + std::to_string(100 + i)), 0x1000u + 4u * i) << i;
  EXPECT_FALSE(ExportEntryByName(memory, 0x10000000, "Name99"));
}

TEST(Exports, HostileTablesYieldNothing) {
  TPeBuilder b = CodeImage(false, 0x10000000);
  b.AddExports(0x3000, "h.dll", {{"Name", 0x1010, ""}});
  const std::size_t edata = 0x800;  // file offset: after .text's 0x400 raw bytes at 0x400
  struct {
    const char* what;
    std::size_t at;
    std::uint32_t value;
  } cases[] = {
      {"function table outside the image", 28, 0x7FFF0000},
      {"name table outside the image", 32, 0x7FFF0000},
      {"huge counts", 20, 0xFFFFFFFF},
      {"name pointer outside", 40 + 4, 0x7FFF0000},
  };
  for (const auto& c : cases) {
    auto file = b.Build();
    Put32(file, edata + c.at, c.value);
    TImageMemory memory;
    ASSERT_TRUE(memory.AddImage(file, u"h"));
    EXPECT_FALSE(ImageProcAddress(memory, memory, 0x10000000, "Name", false)) << c.what;
    EXPECT_TRUE(ListExports(memory, 0x10000000).size() <= 1) << c.what;
    ExportName(memory, 0x10000000, 0x10001010, true);
  }
}

}  // namespace
}  // namespace ruvex
