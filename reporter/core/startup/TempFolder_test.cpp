#include "reporter/core/startup/TempFolder.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace ruvex;

namespace {

// Paths are full names without trailing backslash.
class TFakeFileSystem : public ITempFileSystem {
 public:
  std::map<std::u16string, TFolderEntry> entries;
  std::set<std::u16string> undeletable;
  std::vector<std::u16string> deleted;

  void Add(const std::u16string& path, bool dir, bool link = false) {
    entries[path] = {path.substr(path.rfind(u'\\') + 1), dir, link};
  }
  std::optional<TFolderEntry> Stat(const std::u16string& path) override {
    auto it = entries.find(path);
    return it == entries.end() ? std::nullopt : std::optional<TFolderEntry>(it->second);
  }
  std::vector<TFolderEntry> List(const std::u16string& folder) override {
    std::vector<TFolderEntry> out;
    for (const auto& [path, e] : entries)
      if (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
          path.find(u'\\', folder.size()) == std::u16string::npos)
        out.push_back(e);
    return out;
  }
  bool Gone(const std::u16string& path) {
    if (undeletable.count(path)) return false;
    entries.erase(path);
    deleted.push_back(path);
    return true;
  }
  bool DeleteFileAt(const std::u16string& path) override { return Gone(path); }
  bool RemoveFolder(const std::u16string& path) override {
    if (!List(path + u"\\").empty()) return false;
    return Gone(path);
  }
};

}  // namespace

TEST(TempFolder, PathIsTempDirectoryExecutableNameAndSuffix) {
  struct TCase { std::u16string temp, appData, exe, expected; };
  const TCase cases[] = {
      {u"C:\\Users\\me\\AppData\\Local\\Temp\\", u"", u"C:\\Apps\\Kelvane.exe",
       u"C:\\Users\\me\\AppData\\Local\\Temp\\Kelvane.RuvexExcept\\"},
      {u"C:\\Temp", u"", u"C:\\Apps\\my.tool.exe", u"C:\\Temp\\my.tool.RuvexExcept\\"},
      {u"", u"C:\\Users\\me\\AppData\\Roaming", u"C:\\a\\K.exe", u"C:\\Users\\me\\AppData\\Roaming\\K.RuvexExcept\\"},
      {u"\\\\server\\share\\tmp", u"", u"K.exe", u"\\\\server\\share\\tmp\\K.RuvexExcept\\"},
      // Never an empty or relative base, never one that climbs out.
      {u"", u"", u"C:\\a\\K.exe", u""},
      {u"Temp\\", u"C:\\x", u"C:\\a\\K.exe", u""},
      {u"\\Temp", u"", u"C:\\a\\K.exe", u""},
      {u"C:\\Temp\\..\\Windows", u"", u"C:\\a\\K.exe", u""},
      {u"C:\\Temp", u"", u"C:\\a\\.exe", u""},
      {u"C:\\Temp", u"", u"", u""},
      {u"\\\\server", u"", u"K.exe", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(TempFolderPath(c.temp, c.appData, c.exe), c.expected);
}

TEST(TempFolder, CleaningRemovesFilesAndPlainFoldersButFollowsNoLinks) {
  TFakeFileSystem fs;
  const std::u16string root = u"C:\\T\\K.RuvexExcept";
  fs.Add(u"C:\\T", true);
  fs.Add(root, true);
  fs.Add(root + u"\\bugreport.qbr", false);
  fs.Add(root + u"\\shot.png", false);
  fs.Add(root + u"\\sub", true);
  fs.Add(root + u"\\sub\\deep.txt", false);
  fs.Add(root + u"\\linked", true, true);  // a junction to somewhere else
  fs.Add(root + u"\\linked\\precious.doc", false);
  fs.Add(root + u"\\filelink", false, true);
  fs.Add(u"C:\\T\\other.txt", false);
  EXPECT_FALSE(CleanTempFolder(fs, root + u"\\")) << "the linked folder stays, so the folder does";
  EXPECT_EQ(fs.entries.count(u"C:\\T\\other.txt"), 1u);
  EXPECT_EQ(fs.entries.count(root + u"\\linked\\precious.doc"), 1u) << "the link's target is untouched";
  EXPECT_EQ(fs.entries.count(root + u"\\sub\\deep.txt"), 0u);
  EXPECT_EQ(fs.entries.count(root + u"\\filelink"), 0u) << "a file link goes as a link";
  EXPECT_EQ(fs.entries.count(root + u"\\bugreport.qbr"), 0u);
}

TEST(TempFolder, CleaningRefusesUnsafeFolders) {
  TFakeFileSystem fs;
  fs.Add(u"C:\\T\\K.RuvexExcept", true, true);  // the folder itself is a link
  fs.Add(u"C:\\T\\K.RuvexExcept\\x", false);
  EXPECT_FALSE(CleanTempFolder(fs, u"C:\\T\\K.RuvexExcept\\"));
  EXPECT_TRUE(fs.deleted.empty());
  EXPECT_FALSE(CleanTempFolder(fs, u""));
  EXPECT_FALSE(CleanTempFolder(fs, u"K.RuvexExcept\\"));
  EXPECT_FALSE(CleanTempFolder(fs, u"C:\\T\\..\\K.RuvexExcept\\"));
  EXPECT_TRUE(fs.deleted.empty());
  EXPECT_TRUE(CleanTempFolder(fs, u"C:\\T\\Missing.RuvexExcept\\")) << "nothing to clean";
  // A file that cannot be deleted (in use) keeps the folder, and the rest goes.
  TFakeFileSystem busy;
  busy.Add(u"C:\\T\\B.RuvexExcept", true);
  busy.Add(u"C:\\T\\B.RuvexExcept\\open.log", false);
  busy.Add(u"C:\\T\\B.RuvexExcept\\old.log", false);
  busy.undeletable.insert(u"C:\\T\\B.RuvexExcept\\open.log");
  EXPECT_FALSE(CleanTempFolder(busy, u"C:\\T\\B.RuvexExcept"));
  EXPECT_EQ(busy.deleted, std::vector<std::u16string>{u"C:\\T\\B.RuvexExcept\\old.log"});
}
