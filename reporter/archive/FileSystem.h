#pragma once
// The file access that archives and image files need, behind one interface:
// the platform's files in the program, real files or memory in tests.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ruvex {

// A moment in local time, broken down.
struct TLocalTime {
  int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// Windows file attribute bits that the portable file system reports.
constexpr std::uint32_t kAttrReadOnly = 0x01;
constexpr std::uint32_t kAttrArchive = 0x20;

struct TSourceFile {
  std::string data;
  std::uint32_t attributes = kAttrArchive;  // Windows file attributes
  TLocalTime modified;                      // last write, local time
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
  // A new file that did not exist before, opened for exclusive writing;
  // null when it exists or cannot be created.
  virtual std::unique_ptr<IFileWriter> CreateExclusive(const std::u16string& path) = 0;
  // Moves from over to, replacing a file at to.
  virtual bool Replace(const std::u16string& from, const std::u16string& to) = 0;
  virtual bool Remove(const std::u16string& path) = 0;
};

// The platform's file system (the Windows API on Windows).
IFileSystem& DefaultFileSystem();

// Writes bytes to path through a fresh sibling file that replaces path only
// when every byte is written, so that a failed write neither leaves a
// partial file nor removes one this call did not create.
bool WriteFileReplacing(IFileSystem& fs, const std::u16string& path, std::string_view bytes);

// Creates a fresh sibling of path for a write that replaces path at the
// end; the name chosen is returned in tempPath.
std::unique_ptr<IFileWriter> CreateSibling(IFileSystem& fs, const std::u16string& path,
                                           std::u16string& tempPath);

}  // namespace ruvex
