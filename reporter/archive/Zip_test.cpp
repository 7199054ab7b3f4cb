#include "reporter/archive/Zip.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/text/Utf.h"
#include "reporter/archive/Crc32.h"
#include "reporter/archive/Deflate.h"
#include "common/files/MemoryFileSystem.h"

namespace ruvex {
namespace {

using kelvane::U16;

std::uint32_t Le(const std::string& s, std::size_t off, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= std::uint32_t(static_cast<unsigned char>(s[off + i])) << (8 * i);
  return v;
}

TSourceFile Source(std::string data, TLocalTime when = {2024, 3, 5, 14, 7, 31}, std::uint32_t attributes = 0x21) {
  TSourceFile f;
  f.data = std::move(data);
  f.modified = when;
  f.attributes = attributes;
  return f;
}

// What a reader finds in the central directory.
struct TReadEntry {
  std::string name;
  std::string localInfo, centralInfo;  // the two 26-byte records
  std::uint32_t attributes, localOffset;
  std::string data;  // inflated
};

std::vector<TReadEntry> ReadArchive(const std::string& zip) {
  std::vector<TReadEntry> entries;
  const std::size_t end = zip.size() - 22;
  EXPECT_EQ(Le(zip, end, 4), 0x06054B50u);
  EXPECT_EQ(Le(zip, end + 4, 4), 0u);  // disk numbers
  const std::uint32_t count = Le(zip, end + 8, 2);
  EXPECT_EQ(Le(zip, end + 10, 2), count);
  const std::uint32_t dirSize = Le(zip, end + 12, 4), dirOffset = Le(zip, end + 16, 4);
  EXPECT_EQ(Le(zip, end + 20, 2), 0u);
  EXPECT_EQ(dirOffset + dirSize, end);
  std::size_t p = dirOffset;
  for (std::uint32_t i = 0; i < count; ++i) {
    TReadEntry e;
    EXPECT_EQ(Le(zip, p, 4), 0x02014B50u);
    EXPECT_EQ(Le(zip, p + 4, 2), 20u);
    e.centralInfo = zip.substr(p + 6, 26);
    EXPECT_EQ(Le(zip, p + 32, 4), 0u);  // comment length, disk start
    EXPECT_EQ(Le(zip, p + 36, 2), 0u);
    e.attributes = Le(zip, p + 38, 4);
    e.localOffset = Le(zip, p + 42, 4);
    const std::uint32_t nameLen = Le(zip, p + 28, 2);
    e.name = zip.substr(p + 46, nameLen);
    p += 46 + nameLen;
    EXPECT_EQ(Le(zip, e.localOffset, 4), 0x04034B50u);
    e.localInfo = zip.substr(e.localOffset + 4, 26);
    EXPECT_EQ(zip.substr(e.localOffset + 30, nameLen), e.name);
    const std::uint32_t zipSize = Le(e.centralInfo, 14, 4), fullSize = Le(e.centralInfo, 18, 4);
    e.data = InflateRaw(zip.substr(e.localOffset + 30 + nameLen, zipSize), fullSize).value_or("<damaged>");
    entries.push_back(std::move(e));
  }
  EXPECT_EQ(p, end);
  return entries;
}

TEST(Zip, WritesTheHeadersAndDirectoryExactly) {
  kelvane::TMemoryFileSystem fs;
  fs.files[u"C:\\r\\bugreport.txt"] = Source(std::string(5000, 'a') + "end", {2024, 3, 5, 14, 7, 31}, 0x20);
  fs.files[u"C:\\r\\shot.png"] = Source("\x89PNG small", {1999, 12, 31, 23, 59, 59}, 0x21);
  ASSERT_TRUE(WriteZipArchive(fs, u"C:\\r\\out.zip", {u"C:\\r\\bugreport.txt", u"C:\\r\\shot.png"}, 1,
                              {U16("Bericht ä.txt")}));
  const std::string zip = fs.files.at(u"C:\\r\\out.zip").data;
  const auto entries = ReadArchive(zip);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "Bericht \xc3\xa4.txt");
  EXPECT_EQ(entries[1].name, "shot.png");
  EXPECT_EQ(entries[0].localOffset, 0u);
  EXPECT_EQ(entries[0].data, fs.files[u"C:\\r\\bugreport.txt"].data);
  EXPECT_EQ(entries[1].data, "\x89PNG small");
  EXPECT_EQ(entries[0].attributes, 0x20u);
  EXPECT_EQ(entries[1].attributes, 0x21u);
  for (const auto& e : entries) {
    EXPECT_EQ(e.localInfo, e.centralInfo) << e.name;
    EXPECT_EQ(Le(e.localInfo, 0, 2), 20u);
    EXPECT_EQ(Le(e.localInfo, 2, 2), 0x0800u);
    EXPECT_EQ(Le(e.localInfo, 4, 2), 8u);
    EXPECT_EQ(Le(e.localInfo, 10, 4), Crc32Of(e.data.data(), e.data.size()));
    EXPECT_EQ(Le(e.localInfo, 24, 2), 0u);
  }
  // 2024-03-05 14:07:31 -> time 14<<11 | 7<<5 | 15, date 44<<9 | 3<<5 | 5
  EXPECT_EQ(Le(entries[0].localInfo, 6, 2), (14u << 11) | (7u << 5) | 15u);
  EXPECT_EQ(Le(entries[0].localInfo, 8, 2), (44u << 9) | (3u << 5) | 5u);
  // The compressed data is zlib's level-2 raw deflate stream.
  EXPECT_EQ(Le(entries[0].localInfo, 14, 4), DeflateRaw(entries[0].data, 2)->size());
  // Only the archive remains: no work file is left beside it.
  EXPECT_EQ(fs.files.size(), 3u);
}

TEST(Zip, SkipsUnreadableSourcesAndFailsWhenNothingIsLeft) {
  kelvane::TMemoryFileSystem fs;
  fs.files[u"a.txt"] = Source("alpha");
  fs.files[u"locked.txt"] = Source("locked");
  fs.unreadable.insert(u"locked.txt");
  ASSERT_TRUE(WriteZipArchive(fs, u"out.zip", {u"missing.txt", u"locked.txt", u"a.txt"}, 2, {}));
  const auto entries = ReadArchive(fs.files.at(u"out.zip").data);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "a.txt");

  // Nothing readable: false, and an archive from before stays as it was.
  fs.files[u"old.zip"] = Source("previous archive");
  EXPECT_FALSE(WriteZipArchive(fs, u"old.zip", {u"missing.txt"}, 0, {}));
  EXPECT_EQ(fs.files.at(u"old.zip").data, "previous archive");
  EXPECT_FALSE(WriteZipArchive(fs, u"new.zip", {u"missing.txt", u"locked.txt"}, 1, {}));
  EXPECT_FALSE(fs.files.count(u"new.zip"));
  // lastIndex bounds the list; a negative one writes nothing.
  EXPECT_FALSE(WriteZipArchive(fs, u"none.zip", {u"a.txt"}, -1, {}));
  EXPECT_EQ(fs.files.size(), 4u);  // a.txt, locked.txt, out.zip, old.zip
}

TEST(Zip, AFailedWriteLeavesNoPartialArchiveAndKeepsTheOldOne) {
  for (std::uint64_t budget : {0ull, 10ull, 40ull, 100ull}) {
    kelvane::TMemoryFileSystem fs;
    fs.files[u"a.txt"] = Source(std::string(300, 'q'));
    fs.files[u"out.zip"] = Source("previous archive");
    fs.writeBudget = budget;
    EXPECT_FALSE(WriteZipArchive(fs, u"out.zip", {u"a.txt"}, 0, {})) << budget;
    EXPECT_EQ(fs.files.at(u"out.zip").data, "previous archive") << budget;
    EXPECT_EQ(fs.files.size(), 2u) << budget;
  }
  kelvane::TMemoryFileSystem fs;
  fs.files[u"a.txt"] = Source("alpha");
  fs.failReplace = true;
  EXPECT_FALSE(WriteZipArchive(fs, u"out.zip", {u"a.txt"}, 0, {}));
  EXPECT_EQ(fs.files.size(), 1u);
}

TEST(Zip, RefusesMoreEntriesThanTheFormatCounts) {
  kelvane::TMemoryFileSystem fs;
  fs.files[u"a"] = Source("");
  std::vector<std::u16string> paths(kMaxZipEntries, u"a");
  ASSERT_TRUE(WriteZipArchive(fs, u"full.zip", paths, static_cast<int>(paths.size()) - 1, {}));
  EXPECT_EQ(ReadArchive(fs.files.at(u"full.zip").data).size(), kMaxZipEntries);
  paths.push_back(u"a");
  EXPECT_FALSE(WriteZipArchive(fs, u"over.zip", paths, static_cast<int>(paths.size()) - 1, {}));
  EXPECT_FALSE(fs.files.count(u"over.zip"));
}

// Without Zip64, a source of 4 GiB or more cannot be described: the reader
// is asked never to deliver one, and such a source is left out.
TEST(Zip, SourcesOf4GiBAreLeftOut) {
  struct TSpy final : IFileSystem {
    kelvane::TMemoryFileSystem inner;
    std::uint64_t askedMax = 0;
    std::optional<TSourceFile> ReadSource(const std::u16string& path, std::uint64_t maxSize) override {
      askedMax = maxSize;
      if (path == u"huge.bin") return std::nullopt;  // what a reader does above maxSize
      return inner.ReadSource(path, maxSize);
    }
    std::optional<kelvane::TFileStat> Stat(const std::u16string& p) override { return inner.Stat(p); }
    std::unique_ptr<IFileWriter> CreateExclusive(const std::u16string& p) override { return inner.CreateExclusive(p); }
    bool Replace(const std::u16string& f, const std::u16string& t) override { return inner.Replace(f, t); }
    bool Remove(const std::u16string& p) override { return inner.Remove(p); }
    std::unique_ptr<kelvane::IFileReader> OpenRead(const std::u16string& p) override { return inner.OpenRead(p); }
    std::unique_ptr<kelvane::IExclusiveFile> OpenExclusive(const std::u16string& p) override { return inner.OpenExclusive(p); }
    bool CreateFolders(const std::u16string& p) override { return inner.CreateFolders(p); }
  } spy;
  spy.inner.files[u"small.txt"] = Source("small");
  ASSERT_TRUE(WriteZipArchive(spy, u"o.zip", {u"huge.bin", u"small.txt"}, 1, {}));
  EXPECT_EQ(spy.askedMax, 0xFFFFFFFEull);
  const auto entries = ReadArchive(spy.inner.files.at(u"o.zip").data);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "small.txt");
}

TEST(Zip, EntryNamesStayInsideTheArchive) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"report.txt", "report.txt"},
      {"sub\\dir\\file.txt", "sub/dir/file.txt"},
      {"C:\\Windows\\win.ini", "Windows/win.ini"},
      {"\\\\server\\share\\x", "server/share/x"},
      {"/etc/passwd", "etc/passwd"},
      {"..\\..\\evil.exe", "evil.exe"},
      {"a/./b/../c", "a/b/c"},
      {"..", ""},
      {"name..with..dots", "name..with..dots"},
  };
  for (const auto& c : cases) EXPECT_EQ(kelvane::Utf16ToUtf8(SafeEntryName(U16(c.in))), c.out) << c.in;
  EXPECT_EQ(FileNamePartOf(u"C:\\a\\b.txt"), u"b.txt");
  EXPECT_EQ(FileNamePartOf(u"b.txt"), u"b.txt");
  EXPECT_EQ(FileNamePartOf(u"C:\\a\\"), u"");

  // A name that sanitises to nothing falls back to the file name.
  kelvane::TMemoryFileSystem fs;
  fs.files[u"C:\\x\\a.txt"] = Source("alpha");
  ASSERT_TRUE(WriteZipArchive(fs, u"o.zip", {u"C:\\x\\a.txt"}, 0, {u"..\\.."}));
  EXPECT_EQ(ReadArchive(fs.files.at(u"o.zip").data)[0].name, "a.txt");
}

TEST(Zip, DosTimesAreClampedToTheirRange) {
  const struct {
    TLocalTime in;
    std::uint16_t date, time;
  } cases[] = {
      {{1980, 1, 1, 0, 0, 0}, 0x0021, 0},
      {{1970, 1, 1, 0, 0, 0}, 0x0021, 0},
      {{2107, 12, 31, 23, 59, 59}, (127 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29},
      {{2200, 6, 1, 12, 0, 0}, (127 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29},
      {{2024, 2, 29, 8, 30, 1}, (44 << 9) | (2 << 5) | 29, (8 << 11) | (30 << 5) | 0},
  };
  for (const auto& c : cases) {
    const TDosDateTime d = ToDosDateTime(c.in);
    EXPECT_EQ(d.date, c.date) << c.in.year;
    EXPECT_EQ(d.time, c.time) << c.in.year;
  }
}

std::u16string Path16(const std::filesystem::path& p) {
  return p.u16string();
}

// The platform's own files: the Windows API under wine, the C library here.
TEST(Zip, RealFilesThroughThePlatform) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("ruvex-zip-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path a = dir / "a.txt", b = dir / "b.bin";
  std::ofstream(a, std::ios::binary) << "first file";
  std::ofstream(b, std::ios::binary) << std::string(100000, 'z');
  const std::u16string zipPath = Path16(dir / "out.zip");
  std::ofstream(dir / "out.zip") << "old";
  // Same entry name twice: both are stored under it.
  ASSERT_TRUE(WriteZipArchive(zipPath, {Path16(a), Path16(b), Path16(dir / "gone")}, 2, {u"same.txt", u"same.txt"}));
  std::string zip;
  {
    std::ifstream in(dir / "out.zip", std::ios::binary);
    zip.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const auto entries = ReadArchive(zip);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "same.txt");
  EXPECT_EQ(entries[1].name, "same.txt");
  EXPECT_EQ(entries[0].data, "first file");
  EXPECT_EQ(entries[1].data.size(), 100000u);
  EXPECT_NE(entries[0].attributes & 0x20, 0u);
  EXPECT_GE(Le(entries[0].localInfo, 8, 2) >> 9, 2020u - 1980u);  // written just now
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace ruvex
