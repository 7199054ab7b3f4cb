#include "reporter/engines/memory/ModuleListSnapshot.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

// Counts how often the modules are listed.
class TCountingModules : public IModuleList {
 public:
  mutable int listed = 0;
  std::vector<ModuleEntry> modules;
  std::vector<ModuleEntry> Modules() const override {
    ++listed;
    return modules;
  }
};

TEST(ModuleListSnapshot, ListsOnceAndAnswersLikeTheSource) {
  TCountingModules source;
  source.modules = {{0x77000000, 0x10000, u"C:\\w\\user32.dll"},
                    {0x400000, 0x5000, u"C:\\app\\Prog.exe"},
                    {0x10000000, 0x2000, u"C:\\app\\Help.dll"}};
  const TModuleListSnapshot snapshot(source);
  EXPECT_EQ(1, source.listed);
  for (Address a : {Address{0}, Address{0x3FFFFF}, Address{0x400000}, Address{0x404FFF}, Address{0x405000},
                    Address{0x10001FFF}, Address{0x7700FFFF}, Address{0x77010000}}) {
    SCOPED_TRACE(a);
    const std::optional<ModuleEntry> expected = source.IModuleList::ModuleAt(a);
    const std::optional<ModuleEntry> got = snapshot.ModuleAt(a);
    ASSERT_EQ(expected.has_value(), got.has_value());
    if (got) {
      EXPECT_EQ(expected->fileName, got->fileName);
    }
  }
  EXPECT_EQ(1 + 8, source.listed);  // only the direct questions above
  EXPECT_EQ(3u, snapshot.Modules().size());
}

}  // namespace
}  // namespace ruvex
