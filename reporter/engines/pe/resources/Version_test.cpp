// Version texts: the rule for the four numbers, the fall-back to the
// "FileVersion" string, and real DLLs against the versions windres reads.
#include "reporter/engines/pe/resources/Version.h"

#include <gtest/gtest.h>

#include <regex>

#include "common/text/Utf.h"
#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/pe/resources/Resources.h"
#include "reporter/engines/testing/TestImages.h"
#include "reporter/engines/testing/TestPeBuilder.h"

namespace ruvex {
namespace {

using testing::Put16;
using testing::Put32;

TEST(Version, VersionToTextSplitsBothHalves) {
  EXPECT_EQ(VersionToText(0x00010002, 0x00030004), u"1.2.3.4");
  EXPECT_EQ(VersionToText(0xFFFFFFFF, 0), u"65535.65535.0.0");
  EXPECT_EQ(VersionToText(0x000A0000, 0x47BA0546), u"10.0.18362.1350");
}

// A version block: length, value length, type, key, value, children.
std::vector<std::uint8_t> Block(const std::u16string& key, const std::vector<std::uint8_t>& value, bool text,
                                const std::vector<std::vector<std::uint8_t>>& children) {
  std::vector<std::uint8_t> b(6, 0);
  for (char16_t c : key) Put16(b, b.size(), c);
  Put16(b, b.size(), 0);
  b.resize((b.size() + 3) & ~std::size_t{3}, 0);
  b.insert(b.end(), value.begin(), value.end());
  b.resize((b.size() + 3) & ~std::size_t{3}, 0);
  for (const auto& child : children) {
    b.insert(b.end(), child.begin(), child.end());
    b.resize((b.size() + 3) & ~std::size_t{3}, 0);
  }
  Put16(b, 0, static_cast<std::uint32_t>(b.size()));
  Put16(b, 2, static_cast<std::uint32_t>(text ? value.size() / 2 : value.size()));
  Put16(b, 4, text ? 1 : 0);
  return b;
}

std::vector<std::uint8_t> Text(const std::u16string& s) {
  std::vector<std::uint8_t> v;
  for (char16_t c : s) Put16(v, v.size(), c);
  Put16(v, v.size(), 0);
  return v;
}

std::string VersionResource(std::uint32_t ms, std::uint32_t ls, const std::u16string& table,
                            const std::u16string& fileVersion, std::uint32_t translation) {
  std::vector<std::uint8_t> fixed(52, 0);
  Put32(fixed, 0, 0xFEEF04BD);
  Put32(fixed, 8, ms);
  Put32(fixed, 12, ls);
  std::vector<std::uint8_t> pair;
  Put16(pair, 0, translation >> 16);
  Put16(pair, 2, translation & 0xFFFF);
  const auto strings =
      Block(u"StringFileInfo", {}, true,
            {Block(table, {}, true, {Block(u"CompanyName", Text(u"Us"), true, {}),
                                     Block(u"FileVersion", Text(fileVersion), true, {})})});
  const auto vars = Block(u"VarFileInfo", {}, true, {Block(u"Translation", pair, false, {})});
  const auto root = Block(u"VS_VERSION_INFO", fixed, false, {strings, vars});
  return {root.begin(), root.end()};
}

TEST(Version, FixedVersionFirstThenTheStringOfTheFirstTranslation) {
  struct {
    std::uint32_t ms, ls;
    std::u16string table, fileVersion;
    std::uint32_t translation;
    std::u16string expected;
  } cases[] = {
      {0x00020001, 0x00000007, u"040904b0", u"9.9", 0x040904B0, u"2.1.0.7"},
      {0, 0, u"040904b0", u"  3.1 beta\t", 0x040904B0, u"3.1 beta"},
      {0, 0, u"040904B0", u"3.2", 0x040904B0, u"3.2"},  // table keys ignore case
      {0, 0, u"040704b0", u"3.3", 0x040904B0, u""},     // no table for the translation
  };
  for (const auto& c : cases) EXPECT_EQ(FileVersionFromResource(VersionResource(c.ms, c.ls, c.table, c.fileVersion, c.translation)), c.expected);

  // Cut short anywhere: no crash, and never a version that was not there.
  const std::string whole = VersionResource(0, 0, u"040904b0", u"4.5", 0x040904B0);
  for (std::size_t n = 0; n < whole.size(); ++n) {
    const std::u16string text = FileVersionFromResource(whole.substr(0, n));
    EXPECT_TRUE(text.empty() || text == u"4.5") << n;
  }
  EXPECT_EQ(FileVersionFromResource(""), u"");
}

TEST(Version, ImageFileWithoutVersionResourceHasNoText) {
  testing::TPeBuilder b;
  b.sections.push_back({".text", 0x1000, std::vector<std::uint8_t>(16, 0xC3)});
  const std::string path = ::testing::TempDir() + "/noversion.dll";
  const auto file = b.Build();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f);
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
  EXPECT_EQ(FileVersionTextOfImageFile(path), u"");
  EXPECT_EQ(FileVersionTextOfImageFile(path + ".missing"), u"");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace ruvex
