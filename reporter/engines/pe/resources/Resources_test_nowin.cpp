// Resources of real DLLs against the resources windres extracts.
#include "reporter/engines/pe/resources/Resources.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>

#include "common/text/Utf.h"
#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/testing/TestImages.h"

namespace ruvex {
namespace {

// One resource of a .res file: type and name as text ("#16" for numbers).
struct TResEntry {
  std::u16string type, name;
  std::string bytes;
};

std::vector<TResEntry> ReadResFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto u16 = [&](std::size_t at) { return static_cast<char16_t>(static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8); };
  auto u32 = [&](std::size_t at) { return std::uint32_t{u16(at)} | std::uint32_t{u16(at + 2)} << 16; };
  auto idOrName = [&](std::size_t& at) {
    std::u16string out;
    if (u16(at) == 0xFFFF) {
      out = kelvane::U16("#" + std::to_string(u16(at + 2)));
      at += 4;
      return out;
    }
    for (; u16(at) != 0; at += 2) out.push_back(u16(at));
    at += 2;
    return out;
  };
  std::vector<TResEntry> out;
  for (std::size_t at = 0; at + 32 <= s.size();) {
    const std::uint32_t dataSize = u32(at), headerSize = u32(at + 4);
    std::size_t p = at + 8;
    TResEntry e;
    e.type = idOrName(p);
    e.name = idOrName(p);
    e.bytes = s.substr(at + headerSize, dataSize);
    if (dataSize != 0 || e.type != u"#0") out.push_back(std::move(e));
    at = (at + headerSize + dataSize + 3) & ~std::size_t{3};
  }
  return out;
}

TResourceId IdOf(const std::u16string& text) {
  if (text[0] == u'#') return TResourceId::Of(static_cast<std::uint16_t>(std::stoul(kelvane::Utf16ToUtf8(text.substr(1)))));
  return TResourceId::Of(text);
}

TEST(ResourcesReal, AgreeWithWindres) {
  std::size_t compared = 0;
  for (const char* image : {"comctl32.dll", "user32.dll", "kernel32.dll", "shell32.dll"}) {
    SCOPED_TRACE(image);
    std::string path;
    ASSERT_TRUE(testing::FindTestImage(image, path));
    const std::string res = ::testing::TempDir() + "/resources.res";
    ASSERT_EQ(std::system(("i686-w64-mingw32-windres -i '" + path + "' -O res -o '" + res + "'").c_str()), 0);
    const auto entries = ReadResFile(res);
    ASSERT_FALSE(entries.empty());
    TImageMemory memory;
    ASSERT_TRUE(memory.AddImageFile(path));
    const Address base = memory.Modules().front().base;
    std::map<std::pair<std::u16string, std::u16string>, bool> seen;
    for (const TResEntry& e : entries) {
      // The first language of each resource is the one looked up (none of
      // these images has a language-neutral resource before it).
      if (!seen.emplace(std::make_pair(e.type, e.name), true).second) continue;
      // windres re-encodes menus and version blocks instead of copying them.
      if (e.type == u"#4" || e.type == u"#16") continue;
      EXPECT_EQ(ResourceBytes(memory, base, IdOf(e.type), IdOf(e.name)), e.bytes)
          << kelvane::Utf16ToUtf8(e.type) << "/" << kelvane::Utf16ToUtf8(e.name);
      ++compared;
    }
    std::remove(res.c_str());
  }
  std::printf("resources compared with windres: %zu\n", compared);
}

}  // namespace
}  // namespace ruvex
