#include "reporter/archive/Zip.h"

#include "common/bytes/LittleEndian.h"

#include <algorithm>
#include <string_view>

#include "common/text/Utf.h"
#include "reporter/archive/Crc32.h"
#include "reporter/archive/Deflate.h"

namespace ruvex {
namespace {

constexpr std::uint16_t kVersion = 20;
constexpr std::uint16_t kFlagUtf8Name = 0x0800;
constexpr std::uint16_t kMethodDeflate = 8;
constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint32_t kEndSignature = 0x06054B50;


// The 26-byte record that the local and the central header share.
struct TFileInfo {
  TDosDateTime modified;
  std::uint32_t crc32 = 0;
  std::uint32_t zipSize = 0;
  std::uint32_t fullSize = 0;
  std::string name;  // UTF-8

  void AppendTo(std::string& out) const {
    kelvane::PutLe16(out, kVersion);
    kelvane::PutLe16(out, kFlagUtf8Name);
    kelvane::PutLe16(out, kMethodDeflate);
    kelvane::PutLe16(out, modified.time);
    kelvane::PutLe16(out, modified.date);
    kelvane::PutLe32(out, crc32);
    kelvane::PutLe32(out, zipSize);
    kelvane::PutLe32(out, fullSize);
    kelvane::PutLe16(out, static_cast<std::uint32_t>(name.size()));
    kelvane::PutLe16(out, 0);  // no extra field
  }
};

struct TEntry {
  TFileInfo info;
  std::uint32_t attributes = 0;
  std::uint32_t localHeaderOffset = 0;
};

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// Streams the archive and counts its bytes; any failure sticks.
class TArchiveWriter {
 public:
  explicit TArchiveWriter(IFileWriter& out) : out_(out) {}
  bool Write(std::string_view bytes) {
    if (!ok_) return false;
    if (position_ + bytes.size() > 0xFFFFFFFFull || !out_.Write(bytes)) ok_ = false;
    else position_ += bytes.size();
    return ok_;
  }
  std::uint64_t position() const { return position_; }
  bool ok() const { return ok_; }

 private:
  IFileWriter& out_;
  std::uint64_t position_ = 0;
  bool ok_ = true;
};

std::u16string EntryNameFor(const std::vector<std::u16string>& paths, const std::vector<std::u16string>& names,
                            std::size_t i) {
  std::u16string name;
  if (i < names.size()) name = SafeEntryName(names[i]);
  if (name.empty()) name = SafeEntryName(FileNamePartOf(paths[i]));
  return name;
}

// Packs one source; false only when the archive itself failed.
bool AddEntry(IFileSystem& fs, TRawDeflater& deflater, TArchiveWriter& archive, const std::u16string& path,
              const std::u16string& entryName, std::vector<TEntry>& entries) {
  auto source = fs.ReadSource(path, kMaxZipSourceSize - 1);
  if (!source) return true;  // unreadable sources are left out
  auto packed = deflater.Deflate(source->data);
  if (!packed || packed->size() > kMaxZipSourceSize - 1) return true;
  if (entries.size() >= kMaxZipEntries) return false;

  TEntry entry;
  entry.info.name = kelvane::Utf16ToUtf8(entryName);
  if (entry.info.name.size() > 0xFFFF) return true;
  entry.info.modified = ToDosDateTime(source->modified);
  entry.info.crc32 = Crc32Of(source->data.data(), source->data.size());
  entry.info.zipSize = static_cast<std::uint32_t>(packed->size());
  entry.info.fullSize = static_cast<std::uint32_t>(source->data.size());
  entry.attributes = source->attributes;
  entry.localHeaderOffset = static_cast<std::uint32_t>(archive.position());

  std::string header;
  kelvane::PutLe32(header, kLocalSignature);
  entry.info.AppendTo(header);
  header += entry.info.name;
  if (!archive.Write(header) || !archive.Write(*packed)) return false;
  entries.push_back(std::move(entry));
  return true;
}

bool WriteDirectory(TArchiveWriter& archive, const std::vector<TEntry>& entries) {
  const std::uint64_t directoryOffset = archive.position();
  std::string directory;
  for (const TEntry& e : entries) {
    kelvane::PutLe32(directory, kCentralSignature);
    kelvane::PutLe16(directory, kVersion);  // made by
    e.info.AppendTo(directory);
    kelvane::PutLe16(directory, 0);  // comment length
    kelvane::PutLe16(directory, 0);  // disk number start
    kelvane::PutLe16(directory, 0);  // internal attributes
    kelvane::PutLe32(directory, e.attributes);
    kelvane::PutLe32(directory, e.localHeaderOffset);
    directory += e.info.name;
  }
  if (directoryOffset + directory.size() > 0xFFFFFFFFull) return false;
  std::string end;
  kelvane::PutLe32(end, kEndSignature);
  kelvane::PutLe16(end, 0);
  kelvane::PutLe16(end, 0);
  kelvane::PutLe16(end, static_cast<std::uint32_t>(entries.size()));
  kelvane::PutLe16(end, static_cast<std::uint32_t>(entries.size()));
  kelvane::PutLe32(end, static_cast<std::uint32_t>(directory.size()));
  kelvane::PutLe32(end, static_cast<std::uint32_t>(directoryOffset));
  kelvane::PutLe16(end, 0);
  return archive.Write(directory) && archive.Write(end);
}

}  // namespace

std::u16string FileNamePartOf(const std::u16string& path) {
  const auto cut = std::find_if(path.rbegin(), path.rend(), IsSeparator);
  return std::u16string(cut.base(), path.end());
}

std::u16string SafeEntryName(const std::u16string& name) {
  std::u16string_view rest = name;
  // "C:" and the like name a drive, not a folder of the archive.
  if (rest.size() >= 2 && rest[1] == u':') rest.remove_prefix(2);
  std::u16string safe;
  while (!rest.empty()) {
    const std::size_t cut = std::find_if(rest.begin(), rest.end(), IsSeparator) - rest.begin();
    const std::u16string_view segment = rest.substr(0, cut);
    rest.remove_prefix(std::min(cut + 1, rest.size()));
    if (segment.empty() || segment == u"." || segment == u"..") continue;
    if (!safe.empty()) safe.push_back(u'/');
    safe += segment;
  }
  return safe;
}

TDosDateTime ToDosDateTime(const TLocalTime& t) {
  TLocalTime c = t;
  if (c.year < 1980) c = TLocalTime{1980, 1, 1, 0, 0, 0};
  if (c.year > 2107) c = TLocalTime{2107, 12, 31, 23, 59, 58};
  c.month = std::clamp(c.month, 1, 12);
  c.day = std::clamp(c.day, 1, 31);
  c.hour = std::clamp(c.hour, 0, 23);
  c.minute = std::clamp(c.minute, 0, 59);
  c.second = std::clamp(c.second, 0, 59);
  TDosDateTime dos;
  dos.date = static_cast<std::uint16_t>(((c.year - 1980) << 9) | (c.month << 5) | c.day);
  dos.time = static_cast<std::uint16_t>((c.hour << 11) | (c.minute << 5) | (c.second / 2));
  return dos;
}

bool WriteZipArchive(IFileSystem& fs, const std::u16string& archivePath,
                     const std::vector<std::u16string>& filePaths, int lastIndex,
                     const std::vector<std::u16string>& entryNames) {
  const std::size_t count =
      lastIndex < 0 ? 0 : std::min(filePaths.size(), static_cast<std::size_t>(lastIndex) + 1);
  if (count == 0) return false;
  // The archive grows in a fresh file of its own and replaces archivePath
  // only when complete.
  std::u16string tempPath;
  auto file = CreateSibling(fs, archivePath, tempPath);
  if (!file) return false;
  TArchiveWriter archive(*file);
  std::vector<TEntry> entries;
  TRawDeflater deflater;
  bool ok = true;
  for (std::size_t i = 0; ok && i < count; ++i) {
    const std::u16string name = EntryNameFor(filePaths, entryNames, i);
    if (!name.empty()) ok = AddEntry(fs, deflater, archive, filePaths[i], name, entries);
  }
  ok = ok && !entries.empty() && WriteDirectory(archive, entries);
  ok = file->Close() && ok;
  if (ok && fs.Replace(tempPath, archivePath)) return true;
  fs.Remove(tempPath);
  return false;
}

bool WriteZipArchive(const std::u16string& archivePath, const std::vector<std::u16string>& filePaths,
                     int lastIndex, const std::vector<std::u16string>& entryNames) {
  return WriteZipArchive(DefaultFileSystem(), archivePath, filePaths, lastIndex, entryNames);
}

}  // namespace ruvex
