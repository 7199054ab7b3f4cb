#include "reporter/engines/symbols/sources/SymbolSources.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "reporter/engines/symbols/readers/CompactSymbols.h"
#include "reporter/engines/symbols/sources/DebugHelp.h"
#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/symbols/sources/SymbolCache.h"
#include "reporter/engines/testing/SymbolFixtures.h"
#include "reporter/engines/testing/TestPeBuilder.h"
#include "common/files/MemoryFileSystem.h"

namespace ruvex {
namespace {

constexpr Address kBase = 0x10000000;
constexpr Address kCode = kBase + 0x1000;  // .text, 0x2000 bytes
const std::u16string kModule = u"C:\\app\\Prog.exe";

// Compact data naming `unit` and `function` at code offset 0x100.
std::string Compact(const char16_t* unit, const char16_t* function, bool minimal = false) {
  TMapFile m;
  m.SetCodeRange(0, 0x2000);
  m.AddSegment(true, 0, 0x2000, unit);
  m.AddPublic(true, function, 0x100);
  m.AddLine(42, 0x100);
  TCompactWriteOptions o;
  o.minimal = minimal;
  return WriteCompactSymbols(m, o);
}

std::string TextMap(const char* function) {
  return std::string(" Start         Length     Name                   Class\r\n"
                     " 0001:10001000 00002000H .text                   CODE\r\n"
                     "\r\nDetailed map of segments\r\n\r\n"
                     " 0001:00000000 00002000 C=CODE     S=.text    G=(none)   M=MapUnit  ACBP=A9\r\n"
                     "\r\n  Address             Publics by Value\r\n\r\n"
                     " 0001:00000100       ") + function + "\r\n";
}

struct TModuleFixture {
  std::string embedded;  // the RUVEX/EXCEPT resource
  std::string td32;      // debug data inside the image
};

std::vector<std::uint8_t> Image(const TModuleFixture& f) {
  testing::TPeBuilder b;
  b.imageBase = kBase;
  b.sections.push_back({".text", 0x1000, std::vector<std::uint8_t>(0x2000, 0xCC)});
  if (!f.embedded.empty())
    b.AddResources(0x3000, {{u"RUVEX", 0, u"EXCEPT", 0, std::vector<std::uint8_t>(f.embedded.begin(), f.embedded.end())}});
  if (!f.td32.empty()) {
    std::vector<std::uint8_t> d(28, 0);
    testing::Put32(d, 16, static_cast<std::uint32_t>(f.td32.size()));
    testing::Put32(d, 20, 0x8000 + 28);
    d.insert(d.end(), f.td32.begin(), f.td32.end());
    b.sections.push_back({".debug", 0x8000, d, 0x42000040});
    b.directories[6][0] = 0x8000;
    b.directories[6][1] = 28;
  }
  return b.Build();
}

std::string Td32Naming(const char* function) {
  testing::TTd32Fixture f;
  f.names = {"Td32Unit.pas", function};
  f.modules = {{1, {{0, 0x2000}}}};
  f.symbols = {{0x205, 0x100, 1, 2}};
  return f.Build();
}

std::string JdbgNaming(const char* function) {
  testing::TJdbgFixture f;
  f.sources = {{0, "JdbgUnit.pas"}};
  f.symbols = {{0x100, function, ""}};
  return f.Build();
}

struct TLoaded {
  bool valid;
  std::u16string unit, name;
};

TLoaded Load(const TModuleFixture& f, kelvane::TMemoryFileSystem& files, IDebugHelp* help = nullptr,
             TSymbolSourceOptions options = {}) {
  TImageMemory memory;
  EXPECT_TRUE(memory.AddImage(Image(f), kModule));
  TMapFile map;
  const TSymbolEnvironment env{memory, files, help};
  const bool valid = LoadModuleSymbols(map, env, kBase, kModule, options);
  EXPECT_EQ(valid, map.IsValid());
  return {valid, map.FindSegment(true, kCode + 0x100).Unit_, map.FindPublic(kCode + 0x100).Name};
}

// Each row removes the winner of the row before, so every source is shown
// to be taken in its turn, and a broken one to pass the turn on.
TEST(SymbolSources, SevenSourcesInOrder) {
  TModuleFixture f{Compact(u"Embedded", u"fromResource"), Td32Naming("fromImageTd32")};
  kelvane::TMemoryFileSystem files;
  TReplayDebugHelp help;
  help.lines = {{u"C:\\src\\pdbunit.cpp", 7, kDbgLoadBase + 0x1000 + 0x100}};
  help.symbols = {{u"fromPdb", kSymTagFunction, kDbgLoadBase + 0x1000 + 0x100}};
  files.Add(u"C:\\app\\Prog.pdb", "pdb");
  files.Add(u"C:\\APP\\prog.map", TextMap("fromMap"), 100);
  files.Add(u"C:\\app\\Prog.ruvex", Compact(u"CompactFile", u"fromRuvex"));
  files.Add(u"C:\\app\\Prog.jdbg", JdbgNaming("fromJdbg"));
  files.Add(u"C:\\app\\Prog.tds", Td32Naming("fromTds"), 200);

  EXPECT_EQ(u"fromResource", Load(f, files, &help).name);
  f.embedded = "RUVEX-SYMBOLS1 but broken";
  EXPECT_EQ(u"fromImageTd32", Load(f, files, &help).name);
  f.td32.clear();
  EXPECT_EQ(u"fromPdb", Load(f, files, &help).name);
  EXPECT_EQ(u"pdbunit.cpp", Load(f, files, &help).unit);
  help.available = false;  // the library is missing: the database is passed over
  EXPECT_EQ(u"fromMap", Load(f, files, &help).name);
  files.Add(u"C:\\app\\Prog.map", "not a map", 100);
  EXPECT_EQ(u"fromRuvex", Load(f, files, &help).name);
  files.Remove(u"C:\\app\\Prog.ruvex");
  EXPECT_EQ(u"fromJdbg", Load(f, files, &help).name);
  files.Remove(u"C:\\app\\Prog.jdbg");
  EXPECT_EQ(u"fromTds", Load(f, files, &help).name);
  files.Add(u"C:\\app\\Prog.map", "not a map", 300);  // the map is newer: the .tds is stale
  EXPECT_FALSE(Load(f, files, &help).valid);
}

TEST(SymbolSources, OnlyCompactFilesSkipsTheRest) {
  TModuleFixture f{"", Td32Naming("fromImageTd32")};
  kelvane::TMemoryFileSystem files;
  files.Add(u"C:\\app\\Prog.map", TextMap("fromMap"));
  TSymbolSourceOptions compactOnly;
  compactOnly.onlyCompactFiles = true;
  EXPECT_FALSE(Load(f, files, nullptr, compactOnly).valid);
  files.Add(u"C:\\app\\Prog.ruvex", Compact(u"CompactFile", u"fromRuvex"));
  EXPECT_EQ(u"fromRuvex", Load(f, files, nullptr, compactOnly).name);
}

TEST(SymbolSources, MinimalEmbeddedDataTakesNamesFromTheMatchingFile) {
  const std::string full = Compact(u"Named", u"realName");
  TModuleFixture f{Compact(u"x", u"y", true), ""};
  kelvane::TMemoryFileSystem files;
  files.Add(u"C:\\app\\Prog.ruvex", full);
  TSymbolSourceOptions options;
  options.minDebugInfo = CompactFingerprint(full);
  EXPECT_EQ(u"realName", Load(f, files, nullptr, options).name);
  options.minDebugInfo = "$00000001, $00000002, $00000003";  // another build's file
  const TLoaded minimal = Load(f, files, nullptr, options);
  EXPECT_EQ(u"public%0", minimal.name);
  EXPECT_EQ(u"segment%0", minimal.unit);
}

// The process as the cache sees it: images laid out in memory, files.
class TFakeHost : public ISymbolHost {
 public:
  TImageMemory memory;
  kelvane::TMemoryFileSystem files;
  const IMemoryReader& Memory() const override { return memory; }
  IFileSystem& Files() override { return files; }
  IDebugHelp* DebugHelp() override { return nullptr; }
  Address OwnModule() const override { return kBase; }
  std::u16string ModuleFileName(Address module) const override {
    for (const ModuleEntry& m : memory.Modules())
      if (m.base == module) return m.fileName;
    return {};
  }
};

TEST(SymbolCache, KeepsMapsUntilTheFileChanges) {
  TFakeHost host;
  ASSERT_TRUE(host.memory.AddImage(Image({Compact(u"Unit1", u"Run"), ""}), kModule));
  host.files.Add(kModule, "", 1000);
  TSymbolCache cache(host);
  const auto a = cache.LookupModuleSymbols(kCode + 0x100);
  ASSERT_TRUE(a->IsValid());
  EXPECT_EQ(a, cache.LookupModuleSymbols(0));  // 0: the own module
  EXPECT_EQ(1u, cache.Size());
  host.files.Add(kModule, "", 2000);  // rebuilt
  // The file is checked once per trace, not at every lookup.
  EXPECT_EQ(a, cache.LookupModuleSymbols(kCode));
  cache.BeginTrace();
  const auto b = cache.LookupModuleSymbols(kCode);
  EXPECT_NE(a, b);
  EXPECT_EQ(u"Run", a->FindPublic(kCode + 0x100).Name);  // the old map lives on for its holder
  EXPECT_EQ(1u, cache.Size());
  EXPECT_FALSE(cache.LookupModuleSymbols(0x7000).get()->IsValid());  // no module there
  EXPECT_EQ(1u, cache.Size());
}

TEST(SymbolCache, TheHostsFingerprintNamesMinimalData) {
  const std::string full = Compact(u"Named", u"realName");
  class TFingerprintHost : public TFakeHost {
   public:
    std::string fingerprint;
    std::string MinDebugInfo(Address) const override { return fingerprint; }
  } host;
  ASSERT_TRUE(host.memory.AddImage(Image({Compact(u"x", u"y", true), ""}), kModule));
  host.files.Add(u"C:\\app\\Prog.ruvex", full);
  host.fingerprint = CompactFingerprint(full);
  TSymbolCache cache(host);
  EXPECT_EQ(u"Named.realName", cache.ProcNameAt(kCode + 0x100));
  EXPECT_EQ(host.fingerprint, cache.LookupModuleSymbols(kCode)->MinDebugInfo());
}

TEST(SymbolCache, ProcNameLineAndAddressInfo) {
  TFakeHost host;
  ASSERT_TRUE(host.memory.AddImage(Image({Compact(u"Unit1", u"Run"), ""}), kModule));
  TSymbolCache cache(host);
  EXPECT_EQ(u"Unit1.Run", cache.ProcNameAt(kCode + 0x100));
  EXPECT_EQ(u"", cache.ProcNameAt(kCode + 0x101));
  const auto info = cache.AddressSymbolInfo(kCode + 0x180);
  ASSERT_TRUE(info);
  EXPECT_EQ(kModule, info->moduleFileName);
  EXPECT_EQ(u"Unit1", info->unit);
  EXPECT_EQ(u"Run", info->publicName);
  EXPECT_EQ(kCode + 0x100, info->publicAddress);
  EXPECT_EQ(42, info->line);

  std::int32_t line = 0;
  Address start = 0, end = 0;
  cache.LineNumberAt(kCode + 0x104, line, start, end);
  EXPECT_EQ(42, line);
  EXPECT_EQ(kCode + 0x104, start);
  EXPECT_EQ(kCode + 0x105, end);  // the last line entry: no next one
  line = 7;
  start = kCode, end = kCode + 0x200;
  cache.LineNumberAt(kCode + 0x104, line, start, end);
  EXPECT_EQ(7, line);  // the caller's cached line holds within its range

  TFakeHost minimalHost;
  ASSERT_TRUE(minimalHost.memory.AddImage(Image({Compact(u"x", u"y", true), ""}), kModule));
  TSymbolCache minimalCache(minimalHost);
  EXPECT_EQ(u"segment%0.public%0 (Prog.exe)", minimalCache.ProcNameAt(kCode + 0x100));
}

TEST(SymbolCache, ThreadsShareOneMap) {
  TFakeHost host;
  ASSERT_TRUE(host.memory.AddImage(Image({Compact(u"Unit1", u"Run"), ""}), kModule));
  host.files.Add(kModule, "", 1);
  TSymbolCache cache(host);
  std::atomic<int> right{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 300; ++i) right += cache.ProcNameAt(kCode + 0x100) == u"Unit1.Run";
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(6 * 300, right.load());
  EXPECT_EQ(1u, cache.Size());
}

}  // namespace
}  // namespace ruvex
