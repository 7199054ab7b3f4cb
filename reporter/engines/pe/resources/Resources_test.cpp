// Resource lookup over synthetic images (named types and names, hostile
// offsets) and over real DLLs, against the resources windres extracts.
#include "reporter/engines/pe/resources/Resources.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>

#include "common/text/Utf.h"
#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/testing/TestImages.h"
#include "reporter/engines/testing/TestPeBuilder.h"
#include "reporter/engines/pe/resources/Version.h"

namespace ruvex {
namespace {

using testing::TPeBuilder;
using testing::TTestResource;

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(Resources, FindsNumberedAndNamedResources) {
  TPeBuilder b;
  b.imageBase = 0x10000000;
  b.sections.push_back({".text", 0x1000, std::vector<std::uint8_t>(16, 0xC3)});
  b.AddResources(0x2000, {{u"", 10, u"TRUVEXEXCEPT", 0, Bytes("settings")},
                          {u"", 10, u"", 7, Bytes("seven")},
                          {u"MYTYPE", 0, u"", 1, Bytes("custom")},
                          {u"", 3, u"", 1, Bytes("")}});
  TImageMemory memory;
  ASSERT_TRUE(memory.AddImage(b.Build(), u"r.dll"));
  const Address m = 0x10000000;
  struct {
    TResourceId type, name;
    std::string bytes;
  } cases[] = {
      {TResourceId::Of(10), TResourceId::Of(u"TRUVEXEXCEPT"), "settings"},
      {TResourceId::Of(10), TResourceId::Of(u"truvexexcept"), "settings"},  // names ignore ASCII case
      {TResourceId::Of(10), TResourceId::Of(7), "seven"},
      {TResourceId::Of(u"mytype"), TResourceId::Of(1), "custom"},
      {TResourceId::Of(u"MYTYPE"), TResourceId::First(), "custom"},
      {TResourceId::Of(10), TResourceId::Of(8), ""},
      {TResourceId::Of(11), TResourceId::First(), ""},
      {TResourceId::Of(u"TRUVEXEXCEPT"), TResourceId::First(), ""},  // a name is not a type
      {TResourceId::Of(3), TResourceId::Of(1), ""},                   // present but empty
  };
  for (const auto& c : cases) EXPECT_EQ(ResourceBytes(memory, m, c.type, c.name), c.bytes);
  EXPECT_EQ(ResourceBytes(memory, 0x20000000, TResourceId::Of(10), TResourceId::Of(7)), "");  // no image there
}

TEST(Resources, LanguageIsChosenAsTheSystemDoes) {
  TPeBuilder b;
  b.imageBase = 0x10000000;
  auto resource = [](std::uint16_t name, std::uint16_t language, const char* text) {
    return TTestResource{u"", 6, u"", name, Bytes(text), language};
  };
  b.AddResources(0x1000, {resource(1, 0x0401, "arabic"), resource(1, 0x0409, "english"), resource(1, 0x0809, "british"),
                          resource(2, 0x0401, "arabic"), resource(2, 0x0000, "neutral"), resource(2, 0x0407, "german")});
  TImageMemory memory;
  ASSERT_TRUE(memory.AddImage(b.Build(), u"r.dll"));
  struct {
    std::uint16_t name, language;
    std::string bytes;
  } cases[] = {
      {1, 0x0409, "english"},  {1, 0x0809, "british"}, {1, 0x0C09, "english"},  // same primary language
      {1, 0x0407, "arabic"},   {1, 0, "arabic"},       {2, 0x0407, "german"},
      {2, 0x0409, "neutral"},  {2, 0, "neutral"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ResourceBytes(memory, 0x10000000, TResourceId::Of(6), TResourceId::Of(c.name), c.language), c.bytes)
        << c.name << " " << std::hex << c.language;
}

TEST(Resources, HostileOffsetsYieldNothing) {
  TPeBuilder b;
  b.imageBase = 0x10000000;
  b.AddResources(0x1000, {{u"", 10, u"", 1, Bytes("payload")}});
  const auto good = b.Build();
  const std::size_t rsrc = 0x400;  // the section's raw data
  // Every 32-bit field of the tree in turn set to a hostile value.
  for (std::size_t at = 0; at < 0x60; at += 4) {
    for (const std::uint32_t value : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFF0u}) {
      auto file = good;
      testing::Put32(file, rsrc + at, value);
      TImageMemory memory;
      ASSERT_TRUE(memory.AddImage(file, u"r"));
      const std::string bytes = ResourceBytes(memory, 0x10000000, TResourceId::Of(10), TResourceId::Of(1));
      EXPECT_TRUE(bytes.empty() || bytes.size() < 0x10000) << at;
    }
  }
}

}  // namespace
}  // namespace ruvex
