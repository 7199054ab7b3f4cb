#pragma once
// The file access of the whole program behind one interface: the platform's
// files in the program (the Windows API on Windows, the C++ library
// elsewhere), memory in tests. Archives, images, symbol files and report
// files all read and write through it.
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
};

// The platform's file system (the Windows API on Windows).
IFileSystem& DefaultFileSystem();

// The content alone; nullopt as for ReadSource.
std::optional<std::string> ReadWholeFile(IFileSystem& fs, const std::u16string& path, std::uint64_t maxSize);

// Writes bytes to path through a fresh sibling file that replaces path only
// when every byte is written, so that a failed write neither leaves a
// partial file nor removes one this call did not create.
bool WriteFileReplacing(IFileSystem& fs, const std::u16string& path, std::string_view bytes);

// Creates a fresh sibling of path for a write that replaces path at the
// end; the name chosen is returned in tempPath.
std::unique_ptr<IFileWriter> CreateSibling(IFileSystem& fs, const std::u16string& path,
                                           std::u16string& tempPath);

}  // namespace kelvane
