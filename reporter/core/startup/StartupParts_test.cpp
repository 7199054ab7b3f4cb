// The portable parts of start-up: temporary folder, restart hand-over block,
// thread registry list.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "reporter/core/startup/RestartHandover.h"
#include "reporter/core/startup/TempFolder.h"
#include "reporter/core/startup/ThreadList.h"

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

TEST(RestartHandover, BlockRoundTripsAndShortBlocksAreRefused) {
  TRestartHandover h;
  h.previousProcessId = 0x1a2b;
  h.handleToClose = 0x1c8;
  for (size_t i = 0; i < h.exceptionTimes.size(); ++i) h.exceptionTimes[i] = 13300000000ull + i;
  std::string block = EncodeRestartHandover(h);
  ASSERT_EQ(block.size(), kRestartBlockSize);
  auto back = DecodeRestartHandover(block);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->previousProcessId, 0x1a2bu);
  EXPECT_EQ(back->handleToClose, 0x1c8u);
  EXPECT_EQ(back->exceptionTimes, h.exceptionTimes);
  EXPECT_FALSE(DecodeRestartHandover(block.substr(0, kRestartBlockSize - 1)));
  EXPECT_TRUE(ShouldWaitForPredecessor(*back, 0x99));
  EXPECT_FALSE(ShouldWaitForPredecessor(*back, 0x1a2b)) << "a block naming this process";
  back->previousProcessId = 0;
  EXPECT_FALSE(ShouldWaitForPredecessor(*back, 0x99));
}

TEST(ThreadList, NamesCreatorsAndPurgingOfEndedThreads) {
  std::set<std::uintptr_t> ended, closed;
  TThreadList list({[&](std::uintptr_t h) { return ended.count(h) > 0; },
                    [&](std::uintptr_t h) { closed.insert(h); }});
  list.SuspendPurging(true);
  list.SetName(1, u"main thread", 0x10);
  list.SetCreator(2, 0x20, 1, 0x401000, u"TWorker");
  list.SetName(3, u"RuvexExcept - AntiFreezeThread", 0x30);
  ended.insert(0x20);
  list.SetName(4, u"pending", 0x40);
  EXPECT_TRUE(list.Find(2)) << "no purging during start-up";
  list.SuspendPurging(false);
  list.SetName(4, u"renamed");
  EXPECT_FALSE(list.Find(2)) << "an ended thread is purged on the next change";
  EXPECT_TRUE(closed.count(0x20));
  EXPECT_EQ(list.Find(4)->name, u"renamed");
  list.SetName(4, u"");
  EXPECT_FALSE(list.Find(4)) << "no name and no creator: no entry";
  EXPECT_EQ(list.Entries().front().threadId, 1u);
}

TEST(ThreadList, Descriptions) {
  TThreadEntry named{0x1f, u"worker", u"", 0x401234, 7, 0};
  TThreadEntry classy{0x20, u"", u"TDownload", 0, 0, 0};
  TThreadEntry hidden{0x21, u"RuvexExcept - HandleExceptionThread", u"", 0, 0, 0};
  TThreadEntry dash{0x22, u"-", u"TX", 0, 0, 0};
  EXPECT_EQ(DescribeThread(0x1f, named, true, false).text, u"worker ($1f)");
  EXPECT_EQ(DescribeThread(0x1f, named, true, false).creatorAddress, 0x401234u);
  EXPECT_EQ(DescribeThread(0x20, classy, true, false).text, u"thread $20 (TDownload)");
  EXPECT_EQ(DescribeThread(0x21, hidden, true, false).text, u"");
  EXPECT_EQ(DescribeThread(0x21, hidden, true, true).text, u"RuvexExcept - HandleExceptionThread ($21)");
  EXPECT_EQ(DescribeThread(0x22, dash, true, false).text, u"");
  EXPECT_EQ(DescribeThread(0x22, dash, true, true).text, u"thread $22 (TX)");
  EXPECT_EQ(DescribeThread(0xabc, std::nullopt, true, false).text, u"thread $abc");
  EXPECT_EQ(DescribeThread(0x1f, named, false, false).text, u"thread $1f") << "registry busy";
}

TEST(ThreadList, DebuggerThreadNamingException) {
  auto read = [](std::uintptr_t p) -> std::optional<std::string> {
    if (p == 0x5000) return std::string("Downloader \xc3\xa9");
    return std::nullopt;
  };
  std::uintptr_t info[4] = {0x1000, 0x5000, 0xFFFFFFFF, 0};
  auto naming = ParseThreadNamingException(kThreadNamingException, info, 4, 0x44, read);
  ASSERT_TRUE(naming);
  EXPECT_EQ(naming->threadId, 0x44u);
  EXPECT_EQ(naming->name, u"Downloader \u00e9");
  info[2] = 0x99;
  EXPECT_EQ(ParseThreadNamingException(kThreadNamingException, info, 4, 0x44, read)->threadId, 0x99u);
  info[3] = 1;
  EXPECT_FALSE(ParseThreadNamingException(kThreadNamingException, info, 4, 0x44, read)) << "flags must be 0";
  info[3] = 0;
  info[1] = 0x6000;
  EXPECT_FALSE(ParseThreadNamingException(kThreadNamingException, info, 4, 0x44, read)) << "unreadable name";
  EXPECT_FALSE(ParseThreadNamingException(0xC0000005, info, 4, 0x44, read));
  EXPECT_FALSE(ParseThreadNamingException(kThreadNamingException, info, 3, 0x44, read));
}
