#include "reporter/engines/system/os/PathNames.h"

#include <gtest/gtest.h>

#include <map>

namespace ruvex {
namespace {

// A file system that knows a few paths, under both of their spellings.
class TFakeSearch : public IDirectorySearch {
 public:
  TFakeSearch() {
    Add(u"C:\\Program Files", u"C:\\PROGRA~1", u"Program Files", u"PROGRA~1");
    Add(u"C:\\Program Files\\Foo Bar", u"C:\\PROGRA~1\\FOOBAR~1", u"Foo Bar", u"FOOBAR~1");
    Add(u"C:\\Program Files\\Foo Bar\\file.txt", u"C:\\PROGRA~1\\FOOBAR~1\\file.txt", u"file.txt", u"");
    Add(u"\\\\server\\share\\Long Name", u"\\\\server\\share\\LONGNA~1", u"Long Name", u"LONGNA~1");
  }
  std::optional<TFoundName> Find(const std::u16string& path) const override {
    ++lookups;
    const auto it = known_.find(path);
    if (it == known_.end()) return std::nullopt;
    return it->second;
  }
  mutable int lookups = 0;

 private:
  void Add(const std::u16string& longPath, const std::u16string& shortPath, std::u16string l, std::u16string s) {
    known_[longPath] = known_[shortPath] = TFoundName{l, s};
    // Mixed spellings, as lookups form them from the last component back.
    const auto cut = longPath.rfind(u'\\'), shortCut = shortPath.rfind(u'\\');
    known_[shortPath.substr(0, shortCut) + longPath.substr(cut)] = TFoundName{l, s};
    known_[longPath.substr(0, cut) + shortPath.substr(shortCut)] = TFoundName{l, s};
  }
  std::map<std::u16string, TFoundName> known_;
};

TEST(PathNames, LongFormReplacesOnlyShortComponentsThatExist) {
  const TFakeSearch search;
  struct {
    std::u16string path, expected;
  } cases[] = {
      {u"C:\\PROGRA~1\\FOOBAR~1\\file.txt", u"C:\\Program Files\\Foo Bar\\file.txt"},
      {u"C:\\PROGRA~1\\", u"C:\\Program Files"},
      {u"C:\\PROGRA~1\\NOPE~1\\x", u"C:\\Program Files\\NOPE~1\\x"},  // missing: unchanged
      {u"C:\\PROGRA~1\\*~1", u"C:\\Program Files\\*~1"},               // wildcards: unchanged
      {u"\\\\server\\share\\LONGNA~1\\", u"\\\\server\\share\\Long Name"},
      {u"\\\\server\\share", u"\\\\server\\share"},
      {u"PROGRA~1\\x", u"PROGRA~1\\x"},  // relative: no root, unchanged
      {u"C:PROGRA~1", u"C:PROGRA~1"},
      {u"C:\\", u"C:"},
      {u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(LongPathName(c.path, search), c.expected);
}

TEST(PathNames, ShortFormConvertsEveryComponentItCan) {
  const TFakeSearch search;
  struct {
    std::u16string path, expected;
  } cases[] = {
      {u"C:\\Program Files\\Foo Bar\\file.txt", u"C:\\PROGRA~1\\FOOBAR~1\\file.txt"},  // no short name: long kept
      {u"C:\\Program Files\\Missing Dir\\", u"C:\\PROGRA~1\\Missing Dir"},
      {u"\\\\server\\share\\Long Name", u"\\\\server\\share\\LONGNA~1"},
      {u"C:\\Program Files\\a?b", u"C:\\PROGRA~1\\a?b"},
  };
  for (const auto& c : cases) EXPECT_EQ(ShortPathName(c.path, search), c.expected);
}

TEST(PathNames, LongFormAsksOnlyForComponentsWithATilde) {
  TFakeSearch search;
  LongPathName(u"C:\\Program Files\\Foo Bar\\file.txt", search);
  EXPECT_EQ(search.lookups, 0);
  LongPathName(u"C:\\Program Files\\FOOBAR~1\\file.txt", search);
  EXPECT_EQ(search.lookups, 1);
}

}  // namespace
}  // namespace ruvex
