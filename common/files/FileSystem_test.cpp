#include "common/files/FileSystem.h"

#include <gtest/gtest.h>

#include "common/files/MemoryFileSystem.h"

namespace kelvane {
namespace {

// Whatever fails, the old file stays whole and no sibling is left over.
TEST(WriteFileReplacing, ReplacesWholeOrLeavesTheOldFile) {
  struct TCase {
    const char* what;
    std::uint64_t writeBudget;
    bool failReplace;
    bool replaced;
  } cases[] = {
      {"written and moved", UINT64_MAX, false, true},
      {"disk full half way", 3, false, false},
      {"move refused", UINT64_MAX, true, false},
  };
  for (const TCase& c : cases) {
    TMemoryFileSystem fs;
    fs.Add(u"C:\\r\\file.txt", "old");
    fs.writeBudget = c.writeBudget;
    fs.failReplace = c.failReplace;
    EXPECT_EQ(WriteFileReplacing(fs, u"C:\\r\\file.txt", "new content"), c.replaced) << c.what;
    EXPECT_EQ(fs.files.begin()->second.data, c.replaced ? "new content" : "old") << c.what;
    EXPECT_EQ(fs.files.size(), 1u) << c.what;
  }
}

TEST(WriteSibling, NamesAFreshFileBesideThePath) {
  TMemoryFileSystem fs;
  const std::u16string first = WriteSibling(fs, u"C:\\r\\file.txt", "one");
  const std::u16string second = WriteSibling(fs, u"C:\\r\\file.txt", "two");
  ASSERT_FALSE(first.empty());
  EXPECT_NE(first, second);
  EXPECT_EQ(first.rfind(u"C:\\r\\file.txt.~", 0), 0u);
  EXPECT_EQ(fs.files[first].data, "one");
  EXPECT_EQ(fs.files[second].data, "two");
  fs.writeBudget = 0;
  EXPECT_EQ(WriteSibling(fs, u"C:\\r\\file.txt", "three"), u"");
  EXPECT_EQ(fs.files.size(), 2u);
}

}  // namespace
}  // namespace kelvane
