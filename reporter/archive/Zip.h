#pragma once
// Zip archives of whole files, every entry deflated (method 8) with a UTF-8
// name, as bug report attachments travel.
#include <cstdint>
#include <string>
#include <vector>

#include "common/files/FileSystem.h"

namespace ruvex {

using kelvane::CreateSibling;
using kelvane::DefaultFileSystem;
using kelvane::IFileSystem;
using kelvane::IFileWriter;
using kelvane::kAttrArchive;
using kelvane::kAttrReadOnly;
using kelvane::TLocalTime;
using kelvane::TSourceFile;
using kelvane::WriteFileReplacing;

// Without Zip64 the formats' 16- and 32-bit fields bound an archive.
constexpr std::size_t kMaxZipEntries = 65535;
constexpr std::uint64_t kMaxZipSourceSize = 0xFFFFFFFFull;

// Writes the files filePaths[0..lastIndex] into a new archive at archivePath.
// The entry name of file i is entryNames[i] when that exists and is not
// empty, else the file name part of its path. Files that cannot be read
// (or are 4 GiB or larger) are left out. False when nothing was written or
// a write failed; an archive already at archivePath stays as it was then.
bool WriteZipArchive(const std::u16string& archivePath, const std::vector<std::u16string>& filePaths,
                     int lastIndex, const std::vector<std::u16string>& entryNames);
bool WriteZipArchive(IFileSystem& fs, const std::u16string& archivePath,
                     const std::vector<std::u16string>& filePaths, int lastIndex,
                     const std::vector<std::u16string>& entryNames);

// An entry name that cannot leave the folder it is extracted to: "/" for
// "\", no drive, no leading separator, no empty, "." or ".." segment.
std::u16string SafeEntryName(const std::u16string& name);

// The text after the last "\" or "/".
std::u16string FileNamePartOf(const std::u16string& path);

// The MS-DOS time and date of a local time,
// clamped to 1980-01-01 00:00:00 ... 2107-12-31 23:59:58.
struct TDosDateTime {
  std::uint16_t time = 0;
  std::uint16_t date = 0;
};
TDosDateTime ToDosDateTime(const TLocalTime& t);

}  // namespace ruvex
