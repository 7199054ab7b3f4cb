#include "reporter/engines/trace/support/CodeNames.h"

#include <gtest/gtest.h>

#include "common/files/MemoryFileSystem.h"
#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/memory/ModuleListSnapshot.h"
#include "reporter/engines/symbols/readers/CompactSymbols.h"
#include "reporter/engines/testing/TestPeBuilder.h"

namespace ruvex {
namespace {

constexpr Address kBase = 0x10000000;
constexpr Address kCode = kBase + 0x1000;

// A library whose export "Exported" and whose symbol "Unit1.Both" share
// code offset 0x100; "Unit1.OnlySymbol" at 0x200 is not exported.
std::vector<std::uint8_t> Library() {
  TMapFile m;
  m.SetCodeRange(0, 0x2000);
  m.AddSegment(true, 0, 0x2000, u"Unit1");
  m.AddPublic(true, u"Both", 0x100);
  m.AddPublic(true, u"OnlySymbol", 0x200);
  m.AddLine(10, 0x100);
  m.AddLine(11, 0x108);
  m.AddLine(20, 0x200);
  const std::string compact = WriteCompactSymbols(m);
  testing::TPeBuilder b;
  b.imageBase = kBase;
  b.sections.push_back({".text", 0x1000, std::vector<std::uint8_t>(0x2000, 0xCC)});
  b.AddExports(0x3000, "Lib.dll", {{"Exported", 0x1100, ""}});
  b.AddResources(0x4000, {{u"RUVEX", 0, u"EXCEPT", 0, std::vector<std::uint8_t>(compact.begin(), compact.end())}});
  return b.Build();
}

class TImageHost : public ISymbolHost {
 public:
  TImageMemory memory;
  kelvane::TMemoryFileSystem files;
  const IMemoryReader& Memory() const override { return memory; }
  IFileSystem& Files() override { return files; }
  IDebugHelp* DebugHelp() override { return nullptr; }
  Address OwnModule() const override { return 0; }
  std::u16string ModuleFileName(Address module) const override { return module == kBase ? u"C:\\app\\Lib.dll" : u""; }
};

TEST(ReportCodeNames, ExportNameElseSymbolNameAndLines) {
  TImageHost host;
  ASSERT_TRUE(host.memory.AddImage(Library(), u"C:\\app\\Lib.dll"));
  TSymbolCache symbols(host);
  const TModuleListSnapshot modules(host.memory);
  const TCodeNames names = ReportCodeNames(host.memory, modules, symbols, 0);
  EXPECT_EQ(u"Exported", names.nameAt(kCode + 0x100));
  EXPECT_EQ(u"Unit1.OnlySymbol", names.nameAt(kCode + 0x200));
  EXPECT_EQ(u"", names.nameAt(kCode + 0x201));
  EXPECT_EQ(u"", names.nameAt(0x500000));  // no module there
  EXPECT_EQ(&modules, names.modules);
  EXPECT_EQ(10u, names.lineAt(kCode + 0x100));
  EXPECT_EQ(10u, names.lineAt(kCode + 0x104));
  EXPECT_EQ(11u, names.lineAt(kCode + 0x108));
  EXPECT_EQ(20u, names.lineAt(kCode + 0x200));
  EXPECT_EQ(0u, names.lineAt(0x500000));
}

}  // namespace
}  // namespace ruvex
