#include "reporter/plugins/modules/ModuleList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "common/text/Utf.h"
#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/pe/resources/Version.h"
#include "reporter/engines/testing/TestImages.h"

using namespace ruvex;

namespace {

// An address space of real 32-bit images laid out by TImageMemory: their
// committed regions, free gaps between them, up to the 2 GiB user space.
class TImageModuleSystem final : public IModuleListSystem {
 public:
  static constexpr Address kTop = 0x80000000;

  explicit TImageModuleSystem(const TImageMemory& memory) : memory_(memory) {
    for (const ModuleEntry& module : memory.Modules())
      for (Address a = module.base; a < module.base + module.size;) {
        auto region = memory.RegionAt(a);
        if (!region) {
          a += 0x1000;
          continue;
        }
        regions_.push_back({region->base, region->size, region->allocationBase, true});
        a = region->base + region->size;
      }
    std::sort(regions_.begin(), regions_.end(), [](auto& x, auto& y) { return x.base < y.base; });
  }
  std::map<std::u16string, std::u16string> longNames;

  std::optional<TAddressRegion> Query(Address address) const override {
    if (address >= kTop) return std::nullopt;
    Address freeEnd = kTop;
    for (const auto& r : regions_) {
      if (address >= r.base && address < r.base + r.size) return r;
      if (r.base > address) {
        freeEnd = r.base;
        break;
      }
    }
    return TAddressRegion{address, freeEnd - address, address, false};
  }
  std::optional<std::u16string> ModuleFileName(Address base) const override {
    for (const ModuleEntry& m : memory_.Modules())
      if (m.base == base) return m.fileName;
    return std::nullopt;
  }
  std::optional<std::u16string> LongComponentName(std::u16string_view path) const override {
    auto it = longNames.find(std::u16string(path));
    if (it == longNames.end()) return std::nullopt;
    return it->second;
  }
  std::u16string FileVersion(std::u16string_view path) const override {
    return FileVersionTextOfImageFile(kelvane::Utf16ToUtf8(path));
  }

 private:
  const TImageMemory& memory_;
  std::vector<TAddressRegion> regions_;
};

TEST(ModuleList, RealImagesInAddressOrder) {
  TImageMemory memory;
  std::string kernel32, version;
  ASSERT_TRUE(ruvex::testing::FindTestImage("kernel32.dll", kernel32));
  ASSERT_TRUE(ruvex::testing::FindTestImage("version.dll", version));
  ASSERT_TRUE(memory.AddImageFile(kernel32, nullptr, 0x7b000000));
  ASSERT_TRUE(memory.AddImageFile(version, nullptr, 0x10000000));
  TImageModuleSystem system(memory);
  const auto rows = GatherModules(system);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].base, 0x10000000u);
  EXPECT_EQ(rows[0].name, u"version.dll");
  EXPECT_EQ(rows[1].name, u"kernel32.dll");
  EXPECT_EQ(rows[1].directory, kelvane::Utf8ToUtf16(ruvex::testing::TestImageDir()));
  for (const auto& row : rows) EXPECT_FALSE(row.version.empty()) << kelvane::Utf16ToUtf8(row.name);
  const std::u16string text = FormatModuleList(rows, 8);
  const std::u16string dir = rows[0].directory;
  const std::size_t versionWidth = std::max(rows[0].version.size(), rows[1].version.size()) + 1;
  auto pad = [](std::u16string s, std::size_t w) { return s.append(w - s.size(), u' '); };
  EXPECT_EQ(text, u"10000000 " + pad(u"version.dll", 13) + pad(rows[0].version, versionWidth) + dir + u"\r\n" +
                      u"7b000000 " + pad(u"kernel32.dll", 13) + pad(rows[1].version, versionWidth) + dir);
}

TEST(ModuleList, CandidatesNeedTheirOwnCommittedAllocation) {
  // base, size, allocation base, committed
  const std::vector<TAddressRegion> regions = {
      {0x00000, 0x10000, 0x00000, false}, {0x10000, 0x1000, 0x10000, true},  // module A headers
      {0x11000, 0x3000, 0x10000, true},                                      // A's sections
      {0x14000, 0x1000, 0x14000, false},                                     // reserved only
      {0x15000, 0x1000, 0x15000, true},  {0x16000, 0x1000, 0x15000, true},  // B
      {0x17000, 0x1000, 0x17000, true},                                      // no file: heap
  };
  struct TFake final : IModuleListSystem {
    const std::vector<TAddressRegion>& r;
    explicit TFake(const std::vector<TAddressRegion>& regions) : r(regions) {}
    std::optional<TAddressRegion> Query(Address a) const override {
      for (const auto& x : r)
        if (a >= x.base && a < x.base + x.size) return x;
      return std::nullopt;
    }
    std::optional<std::u16string> ModuleFileName(Address base) const override {
      if (base == 0x10000) return u"C:\\PROGRA~1\\Kelvane\\Kelvane.exe";
      if (base == 0x15000) return u"C:\\Windows\\system32\\noversion.dll";
      return std::nullopt;
    }
    std::optional<std::u16string> LongComponentName(std::u16string_view path) const override {
      if (path == u"C:\\PROGRA~1") return u"Program Files";
      return std::nullopt;
    }
    std::u16string FileVersion(std::u16string_view path) const override {
      return path.ends_with(u"Kelvane.exe") ? u"1.2.3.4" : u"";
    }
  } system(regions);
  EXPECT_EQ(CandidateModuleBases(system), (std::vector<Address>{0x10000, 0x15000, 0x17000}));
  // A module without a version keeps the version column's width.
  EXPECT_EQ(FormatModuleList(GatherModules(system), 8),
            u"00010000 Kelvane.exe   1.2.3.4 C:\\Program Files\\Kelvane\r\n"
            u"00015000 noversion.dll         C:\\Windows\\system32");
  EXPECT_EQ(FormatModuleList(GatherModules(system), 16).substr(0, 17), u"0000000000010000 ");
  EXPECT_EQ(kAddressDigits, sizeof(void*) * 2);
}

TEST(ModuleList, LongPathFormOnlyForShortComponents) {
  struct TNames final : IModuleListSystem {
    std::optional<TAddressRegion> Query(Address) const override { return std::nullopt; }
    std::optional<std::u16string> ModuleFileName(Address) const override { return std::nullopt; }
    std::optional<std::u16string> LongComponentName(std::u16string_view path) const override {
      if (path == u"C:\\DOCUME~1") return u"Documents and Settings";
      if (path == u"C:\\Documents and Settings\\ADMINI~1") return u"Administrator";
      return std::nullopt;  // everything else is unknown
    }
    std::u16string FileVersion(std::u16string_view) const override { return {}; }
  } names;
  EXPECT_EQ(LongPathForm(u"C:\\DOCUME~1\\ADMINI~1\\app.exe", names),
            u"C:\\Documents and Settings\\Administrator\\app.exe");
  EXPECT_EQ(LongPathForm(u"C:\\A~*\\B~1\\x", names), u"C:\\A~*\\B~1\\x");
  EXPECT_EQ(LongPathForm(u"", names), u"");
}

TEST(ModuleList, StuckWalkEnds) {
  struct TStuck final : IModuleListSystem {
    std::optional<TAddressRegion> Query(Address a) const override { return TAddressRegion{a, 0, a, true}; }
    std::optional<std::u16string> ModuleFileName(Address) const override { return std::nullopt; }
    std::optional<std::u16string> LongComponentName(std::u16string_view) const override { return std::nullopt; }
    std::u16string FileVersion(std::u16string_view) const override { return {}; }
  } stuck;
  EXPECT_EQ(CandidateModuleBases(stuck).size(), 1u);
}

}  // namespace
