// The C++ library half on the real file system, with Python as a second
// process that asks for the same file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/files/FileReaderChecks.h"
#include "common/files/FileSystem.h"
#include "common/text/Utf.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

class StdFileSystemTest : public ::testing::Test {
 protected:
  fs::path folder = fs::temp_directory_path() / ("kelvane-files-" + std::to_string(::getpid()));
  IFileSystem& files = DefaultFileSystem();

  void SetUp() override { fs::create_directories(folder); }
  void TearDown() override { fs::remove_all(folder); }

  std::u16string PathOf(const std::string& name) const { return U16((folder / name).string()); }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder / name, std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(folder / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // What another process gets when it asks for a whole-file lock on name.
  std::string LockFromPython(const std::string& name) const {
    const std::string command =
        "/usr/bin/python3 -c \"import fcntl,sys\nf=open(sys.argv[1],'r+b')\n"
        "try:\n fcntl.lockf(f,fcntl.LOCK_EX|fcntl.LOCK_NB);print('locked')\n"
        "except OSError:\n print('busy')\" '" + (folder / name).string() + "'";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return "no python";
    char line[32] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    ::pclose(pipe);
    return got ? std::string(line) : "no answer";
  }
};

TEST_F(StdFileSystemTest, ReadsInChunksWhatOthersMayStillWrite) {
  std::string content(100000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
  Put("a.bin", content);
  auto reader = files.OpenRead(PathOf("a.bin"));
  ASSERT_TRUE(reader);
  ExpectReadsBack(*reader, content);
  EXPECT_EQ(LockFromPython("a.bin"), "locked\n");  // reading takes no lock

  EXPECT_FALSE(files.OpenRead(PathOf("missing")));
  EXPECT_FALSE(files.OpenRead(U16(folder.string())));  // a folder is no file
}

TEST_F(StdFileSystemTest, AnExclusiveHoldKeepsOutThisAndOtherProcesses) {
  const std::u16string path = PathOf("bugreport.qbr");
  auto hold = files.OpenExclusive(path);
  ASSERT_TRUE(hold);
  EXPECT_TRUE(fs::exists(folder / "bugreport.qbr"));
  EXPECT_FALSE(files.OpenExclusive(path));  // a second opener in this process
  EXPECT_EQ(LockFromPython("bugreport.qbr"), "busy\n");
  EXPECT_EQ(hold->Size(), 0u);
  ASSERT_TRUE(hold->Replace("first"));
  EXPECT_EQ(Get("bugreport.qbr"), "first");
  EXPECT_EQ(LockFromPython("bugreport.qbr"), "locked\n");  // the hold ended with the replacement

  auto next = files.OpenExclusive(path);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->ReadFrom(0), "first");
  EXPECT_EQ(next->ReadFrom(2), "rst");
  EXPECT_FALSE(next->ReadFrom(6));
  ASSERT_TRUE(next->Replace("second"));
  EXPECT_EQ(Get("bugreport.qbr"), "second");
  std::size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(folder)) entries += entry.is_regular_file();
  EXPECT_EQ(entries, 1u);  // no sibling left
}

// Two threads append to one file through holds, as concurrent saves do: no
// append may be lost, also when an opener got the old file just before a
// replacement and its lock just after.
TEST_F(StdFileSystemTest, ConcurrentHoldsLoseNoUpdate) {
  const std::u16string path = PathOf("shared.txt");
  constexpr int kAppends = 60;
  const auto appender = [&](char mark) {
    for (int done = 0, attempts = 0; done < kAppends && attempts < 1000000; ++attempts) {
      auto hold = files.OpenExclusive(path);
      if (!hold) continue;
      const auto old = hold->ReadFrom(0);
      if (old && hold->Replace(*old + mark)) ++done;
    }
  };
  std::thread a(appender, 'a'), b(appender, 'b');
  a.join();
  b.join();
  const std::string result = Get("shared.txt");
  EXPECT_EQ(std::count(result.begin(), result.end(), 'a'), kAppends);
  EXPECT_EQ(std::count(result.begin(), result.end(), 'b'), kAppends);
}

TEST_F(StdFileSystemTest, FoldersAreMadeWithTheirParents) {
  EXPECT_TRUE(files.CreateFolders(PathOf("deep/er/folder")));
  EXPECT_TRUE(fs::is_directory(folder / "deep/er/folder"));
  EXPECT_TRUE(files.CreateFolders(PathOf("deep")));
  Put("plain", "x");
  EXPECT_FALSE(files.CreateFolders(PathOf("plain")));
}

}  // namespace
}  // namespace kelvane
