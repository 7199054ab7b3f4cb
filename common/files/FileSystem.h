#pragma once
// The file access of the whole program behind one interface: the platform's
// files in the program (the Windows API on Windows, the C++ library
// elsewhere), memory in tests. Archives, images, symbol files, mail
// attachments and the bug report file all read and write through it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/files/LocalTime.h"

namespace kelvane {

// Windows file attribute bits that the portable file system reports.
constexpr std::uint32_t kAttrReadOnly = 0x01;
constexpr std::uint32_t kAttrArchive = 0x20;

// What the file system knows of a file besides its content.
struct TFileStat {
  std::uint64_t size = 0;
  std::uint32_t attributes = kAttrArchive;  // Windows file attributes
  TLocalTime modified{1980, 1, 1};          // last write, local time
  std::int64_t writeSeconds = 0;            // last write, seconds of a fixed epoch
};

struct TSourceFile {
  std::string data;
  std::uint32_t attributes = kAttrArchive;  // Windows file attributes
  TLocalTime modified{1980, 1, 1};          // last write, local time
  std::int64_t writeSeconds = 0;            // last write, seconds of a fixed epoch
};

class IFileWriter {
 public:
  virtual ~IFileWriter() = default;
  // False when not every byte was written.
  virtual bool Write(std::string_view bytes) = 0;
  // Flushes and closes; false when that failed.
  virtual bool Close() = 0;
};

// A file opened for shared reading, read from its start in chunks, so that
// large files are never held whole.
class IFileReader {
 public:
  virtual ~IFileReader() = default;
  // The size taken when the file was opened.
  virtual std::uint64_t Size() = 0;
  // Back to the start; false when the file cannot be positioned.
  virtual bool Rewind() = 0;
  // Up to length bytes; 0 at the end or on a read error.
  virtual std::size_t Read(char* buffer, std::size_t length) = 0;
};

// A file held open without sharing until this object goes: no one else
// opens it meanwhile, so that a read, a change computed from it and its
// replacement form one step for every other holder.
class IExclusiveFile {
 public:
  virtual ~IExclusiveFile() = default;
  // The size now; nullopt when it cannot be taken.
  virtual std::optional<std::uint64_t> Size() = 0;
  // The content from offset to the end; nullopt when it cannot be read.
  virtual std::optional<std::string> ReadFrom(std::uint64_t offset) = 0;
  // Puts bytes in place of the whole content, flushed, and ends the hold.
  // Either the new content is in place or the old one still is; false in
  // the second case, and when the hold was lost to another opener in the
  // last moment (then the caller holds the file anew and tries again).
  virtual bool Replace(std::string_view bytes) = 0;
};

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;
  // The whole file, opened for shared reading; nullopt when it cannot be
  // opened or read completely, or is larger than maxSize.
  virtual std::optional<TSourceFile> ReadSource(const std::u16string& path, std::uint64_t maxSize) = 0;
  // A regular file's size and times; nullopt when there is none.
  virtual std::optional<TFileStat> Stat(const std::u16string& path) = 0;
  // A new file that did not exist before, opened for exclusive writing;
  // null when it exists or cannot be created.
  virtual std::unique_ptr<IFileWriter> CreateExclusive(const std::u16string& path) = 0;
  // Moves from over to, replacing a file at to.
  virtual bool Replace(const std::u16string& from, const std::u16string& to) = 0;
  virtual bool Remove(const std::u16string& path) = 0;
  // An existing regular file for shared reading (others may read and write
  // it meanwhile); null when it cannot be opened.
  virtual std::unique_ptr<IFileReader> OpenRead(const std::u16string& path) = 0;
  // The file at path, created empty when missing, held for the caller
  // alone; null while another holds it or when it cannot be opened.
  virtual std::unique_ptr<IExclusiveFile> OpenExclusive(const std::u16string& path) = 0;
  // The folder and every missing folder above it; true when it exists now.
  virtual bool CreateFolders(const std::u16string& folder) = 0;
};

// The platform's file system (the Windows API on Windows).
IFileSystem& DefaultFileSystem();

// The content alone; nullopt as for ReadSource.
std::optional<std::string> ReadWholeFile(IFileSystem& fs, const std::u16string& path, std::uint64_t maxSize);

// Writes bytes to path through a fresh sibling file that replaces path only
// when every byte is written, so that a failed write neither leaves a
// partial file nor removes one this call did not create.
bool WriteFileReplacing(IFileSystem& fs, const std::u16string& path, std::string_view bytes);

// Writes bytes into a fresh sibling of path, flushed and closed; the
// sibling's name, or empty when that failed (and no sibling is left).
std::u16string WriteSibling(IFileSystem& fs, const std::u16string& path, std::string_view bytes);

// Creates a fresh sibling of path for a write that replaces path at the
// end; the name chosen is returned in tempPath.
std::unique_ptr<IFileWriter> CreateSibling(IFileSystem& fs, const std::u16string& path,
                                           std::u16string& tempPath);

}  // namespace kelvane
