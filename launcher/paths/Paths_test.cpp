#include "launcher/paths/Paths.h"

#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "launcher/platform/LauncherError.h"

namespace kelvane {
namespace {

std::string Show(const std::u16string& s) { return Utf16ToUtf8(s); }

// Runs `f` and returns its result, or "!" and the error message.
template <class F>
std::u16string ResultOrError(F f) {
  try {
    return f();
  } catch (const EPathError& e) {
    return u"!" + e.Message();
  }
}

TEST(CombinePath, JoinsByTheRules) {
  struct Case { std::u16string first, second, expected; };
  const Case cases[] = {
      {u"", u"a<b", u"a<b"},                 // an empty part gives the other, unchecked
      {u"a|b", u"", u"a|b"},
      {u"C:\\Tools", u"Kelvane.ini", u"C:\\Tools\\Kelvane.ini"},
      {u"C:\\Tools\\", u"x.ini", u"C:\\Tools\\x.ini"},
      {u"C:\\Tools/", u"x.ini", u"C:\\Tools/x.ini"},
      {u"C:", u"x.ini", u"C:x.ini"},
      {u"C:\\out", u"D:\\site\\a.html", u"D:\\site\\a.html"},  // rooted second part wins
      {u"C:\\out", u"\\a.html", u"\\a.html"},
      {u"C:\\out", u"/a.html", u"/a.html"},
      {u"C:\\out", u"\\\\?\\C:\\a.html", u"\\\\?\\C:\\a.html"},
      {u"C:\\out", u"sub/", u"C:\\out\\sub/"},
      {u"C:\\out", u"*.html", u"C:\\out\\*.html"},   // wildcards are allowed
      {u"\"C:\\out\"", u"a.html", u"!Invalid characters in path"},
      {u"C:\\out", u"a\tb", u"!Invalid characters in path"},
      {u"C:\\out", u"a>b", u"!Invalid characters in path"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ResultOrError([&] { return CombinePath(c.first, c.second); }), c.expected)
        << Show(c.first) << " + " << Show(c.second);
  }
}

TEST(DirectoryPart, TakesEverythingBeforeTheLastSeparator) {
  struct Case { std::u16string path, expected; };
  const Case cases[] = {
      {u"C:\\Tools\\Kelvane.exe", u"C:\\Tools"},
      {u"C:\\Tools.exe", u"C:\\"},
      {u"C:x.exe", u"C:"},
      {u"Kelvane.exe", u""},
      {u"C:/Tools/a.exe", u"C:/Tools"},
      {u"  C:\\Tools\\a.exe  ", u"C:\\Tools"},
      {u"\\\\server\\share\\a.exe", u"\\\\server\\share"},
      {u"\\\\?\\C:\\Tools\\a.exe", u"\\\\?\\C:\\Tools"},
      {u"\\\\?\\C:\\a.exe", u"\\\\?\\C:\\"},
      {u"", u"!Invalid characters in file name"},
      {u"   ", u"!Invalid characters in file name"},
      {u"C:\\a|b\\c.exe", u"!Invalid characters in file name"},
      {u"\"C:\\x\\firefox.exe\"", u"!Invalid characters in file name"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ResultOrError([&] { return DirectoryPart(c.path); }), c.expected) << Show(c.path);
  }
}

TEST(DirectoryPart, RefusesLongPathsUnlessExtended) {
  const std::u16string longName(251, u'a');
  const std::u16string tooLong = u"C:\\" + longName + u"\\b.exe";  // 260 characters or more
  ASSERT_GE(tooLong.size(), 260u);
  EXPECT_EQ(ResultOrError([&] { return DirectoryPart(tooLong); }), u"!The specified path is too long");
  EXPECT_EQ(DirectoryPart(u"\\\\?\\" + tooLong), u"\\\\?\\C:\\" + longName);
  const std::u16string just259 = u"C:\\" + std::u16string(256, u'x');
  EXPECT_EQ(DirectoryPart(just259), u"C:\\");
}

TEST(FileNameParts, SplitNameAndExtension) {
  struct Case { std::u16string path, name, stem; };
  const Case cases[] = {
      {u"C:\\Tools\\Project1.exe", u"Project1.exe", u"Project1"},
      {u"my.app.exe", u"my.app.exe", u"my.app"},
      {u"C:name.exe", u"name.exe", u"name"},
      {u"C:\\Tools\\", u"", u""},
      {u"noext", u"noext", u"noext"},
      {u"dir/file.tar.gz", u"file.tar.gz", u"file.tar"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileNamePart(c.path), c.name) << Show(c.path);
    EXPECT_EQ(FileNameWithoutExtension(c.path), c.stem) << Show(c.path);
  }
  EXPECT_THROW(FileNamePart(u"a<b"), EPathError);
}

TEST(ChangeExtension, ReplacesOnlyTheLastComponentsExtension) {
  struct Case { std::u16string path, extension, expected; };
  const Case cases[] = {
      {u"Kelvane.exe", u".html", u"Kelvane.html"},
      {u"Kelvane.exe", u"html", u"Kelvane.html"},
      {u"C:\\a.b\\prog", u".html", u"C:\\a.b\\prog.html"},
      {u"C:\\Tools\\Project1.exe", u".html", u"C:\\Tools\\Project1.html"},
      {u"archive.tar.gz", u".zip", u"archive.tar.zip"},
      {u"", u".html", u""},
      {u"a\"b.exe", u".html", u"!Invalid characters in path"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ResultOrError([&] { return ChangeExtension(c.path, c.extension); }), c.expected) << Show(c.path);
  }
}

}  // namespace
}  // namespace kelvane
