#include "common/text/FileNames.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(FileNames, SplitAtTheLastSeparatorOfEitherKind) {
  const struct {
    std::u16string path, name, folder;
  } cases[] = {
      {u"C:\\dir\\Prog.exe", u"Prog.exe", u"C:\\dir"},
      {u"C:/dir/sub\\x.map", u"x.map", u"C:/dir/sub"},
      {u"plain.txt", u"plain.txt", u""},
      {u"C:\\dir\\", u"", u"C:\\dir"},
      {u"", u"", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileNameOf(c.path), c.name);
    EXPECT_EQ(FolderOf(c.path), c.folder);
  }
  EXPECT_EQ(FileNameOf(std::string_view("a/b\\c.cpp")), "c.cpp");
}

}  // namespace
}  // namespace kelvane
