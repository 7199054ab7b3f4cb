// The Windows half against the real API, under wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/files/FileReaderChecks.h"
#include "common/files/FileSystem.h"
#include "common/text/Utf.h"
#include "common/win/WinHandle_win.h"
#include "common/win/WinText_win.h"

namespace kelvane {
namespace {

class WinFileSystemTest : public ::testing::Test {
 protected:
  IFileSystem& files = DefaultFileSystem();
  std::u16string folder;

  void SetUp() override {
    wchar_t buffer[MAX_PATH];
    const DWORD n = GetTempPathW(MAX_PATH, buffer);
    folder = FromWide(buffer, n) + u"kelvane-files-" + U16(std::to_string(GetCurrentProcessId()));
    ASSERT_TRUE(files.CreateFolders(folder + u"\\deep\\er"));
  }
  void TearDown() override {
    for (const char16_t* name : {u"\\deep\\er\\a.bin", u"\\deep\\er\\r.qbr"}) DeleteFileW(Wide(folder + name));
    RemoveDirectoryW(Wide(folder + u"\\deep\\er"));
    RemoveDirectoryW(Wide(folder + u"\\deep"));
    RemoveDirectoryW(Wide(folder));
  }
  // What another opener that wants to read gets.
  bool OthersCanRead(const std::u16string& path) {
    TWinHandle other(CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(other);
  }
};

TEST_F(WinFileSystemTest, ReadsInChunksBesideAWriter) {
  const std::u16string path = folder + u"\\deep\\er\\a.bin";
  std::string content(70000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 13);
  ASSERT_TRUE(WriteFileReplacing(files, path, content));
  // A writer still has the file open, as with the reporter's own files.
  TWinHandle writer(CreateFileW(Wide(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer);
  auto reader = files.OpenRead(path);
  ASSERT_TRUE(reader);
  ExpectReadsBack(*reader, content);
  EXPECT_FALSE(files.OpenRead(folder + u"\\missing"));
  EXPECT_FALSE(files.OpenRead(folder));
}

TEST_F(WinFileSystemTest, AHoldSharesNothingAndReplacesInOneStep) {
  const std::u16string path = folder + u"\\deep\\er\\r.qbr";
  auto hold = files.OpenExclusive(path);  // created
  ASSERT_TRUE(hold);
  EXPECT_FALSE(files.OpenExclusive(path));
  EXPECT_FALSE(OthersCanRead(path));
  EXPECT_EQ(hold->Size(), 0u);
  ASSERT_TRUE(hold->Replace("first"));
  EXPECT_TRUE(OthersCanRead(path));  // the hold ended with the replacement

  auto next = files.OpenExclusive(path);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->ReadFrom(0), "first");
  EXPECT_EQ(next->ReadFrom(3), "st");
  EXPECT_FALSE(next->ReadFrom(6));
  next.reset();  // released unchanged
  EXPECT_EQ(ReadWholeFile(files, path, 100), "first");

  EXPECT_TRUE(files.CreateFolders(folder + u"\\deep"));  // exists already
  EXPECT_FALSE(files.CreateFolders(path));           // a file, no folder
}

}  // namespace
}  // namespace kelvane
