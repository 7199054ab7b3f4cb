// IFileSystem over the Windows API: shared reading, exclusive new files and
// holds, and the last-write time in local time as zip entries carry it.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <memory>

#include "common/files/FileSystem.h"
#include "common/text/FileNames.h"
#include "common/win/WinHandle_win.h"
#include "common/win/WinText_win.h"

namespace kelvane {
namespace {

TLocalTime LocalTimeOf(const FILETIME& utc) {
  TLocalTime t{1980, 1, 1};
  FILETIME local;
  SYSTEMTIME parts;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &parts)) return t;
  t.year = parts.wYear;
  t.month = parts.wMonth;
  t.day = parts.wDay;
  t.hour = parts.wHour;
  t.minute = parts.wMinute;
  t.second = parts.wSecond;
  t.millisecond = parts.wMilliseconds;
  return t;
}

// Seconds since 1601, the file time's own epoch.
std::int64_t SecondsOf(const FILETIME& utc) {
  ULARGE_INTEGER u;
  u.LowPart = utc.dwLowDateTime;
  u.HighPart = utc.dwHighDateTime;
  return static_cast<std::int64_t>(u.QuadPart / 10000000u);
}

class TWinWriter final : public IFileWriter {
 public:
  explicit TWinWriter(HANDLE h) : file_(h) {}
  bool Write(std::string_view bytes) override {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
      DWORD written = 0;
      if (!WriteFile(file_.Get(), bytes.data() + done, chunk, &written, nullptr) || written != chunk) return false;
      done += written;
    }
    return true;
  }
  bool Close() override {
    if (!file_) return false;
    const bool flushed = FlushFileBuffers(file_.Get()) != 0;
    const bool closed = CloseHandle(file_.Release()) != 0;
    return flushed && closed;
  }

 private:
  TWinHandle file_;
};

// Reads at most 1 GiB per call, as ReadFile counts in 32 bits.
constexpr std::size_t kMaxChunk = std::size_t(1) << 30;

bool ReadExactly(HANDLE file, char* into, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min(size, kMaxChunk));
    DWORD got = 0;
    if (!ReadFile(file, into, chunk, &got, nullptr) || got == 0) return false;
    into += got;
    size -= got;
  }
  return true;
}

std::optional<std::uint64_t> SizeOf(HANDLE file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

class TWinReader final : public IFileReader {
 public:
  TWinReader(TWinHandle file, std::uint64_t size) : file_(std::move(file)), size_(size) {}
  std::uint64_t Size() override { return size_; }
  bool Rewind() override {
    LARGE_INTEGER start{};
    return SetFilePointerEx(file_.Get(), start, nullptr, FILE_BEGIN) != 0;
  }
  std::size_t Read(char* buffer, std::size_t length) override {
    DWORD got = 0;
    if (!ReadFile(file_.Get(), buffer, static_cast<DWORD>(std::min(length, kMaxChunk)), &got, nullptr)) return 0;
    return got;
  }

 private:
  TWinHandle file_;
  std::uint64_t size_;
};

// The file opened without sharing is the hold itself.
class TWinExclusiveFile final : public IExclusiveFile {
 public:
  TWinExclusiveFile(IFileSystem& fs, TWinHandle file, std::u16string path)
      : fs_(fs), file_(std::move(file)), path_(std::move(path)) {}

  std::optional<std::uint64_t> Size() override {
    if (!file_) return std::nullopt;
    return SizeOf(file_.Get());
  }

  std::optional<std::string> ReadFrom(std::uint64_t offset) override {
    const auto size = Size();
    if (!size || offset > *size || *size - offset > SIZE_MAX / 2) return std::nullopt;
    LARGE_INTEGER from;
    from.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file_.Get(), from, nullptr, FILE_BEGIN)) return std::nullopt;
    std::string bytes;
    try {
      bytes.resize(static_cast<std::size_t>(*size - offset));
    } catch (const std::bad_alloc&) {
      return std::nullopt;
    }
    if (!ReadExactly(file_.Get(), bytes.data(), bytes.size())) return std::nullopt;
    return bytes;
  }

  // A file open without sharing cannot be replaced, so the hold ends between
  // the sibling's write and the move. An opener that gets the file in that
  // moment makes the move fail; the old content then stays and the caller
  // tries again behind that opener.
  bool Replace(std::string_view bytes) override {
    if (!file_) return false;
    const std::u16string sibling = WriteSibling(fs_, path_, bytes);
    file_.Reset();
    if (sibling.empty()) return false;
    if (fs_.Replace(sibling, path_)) return true;
    fs_.Remove(sibling);
    return false;
  }

 private:
  IFileSystem& fs_;
  TWinHandle file_;
  std::u16string path_;
};

class TWinFileSystem final : public IFileSystem {
 public:
  std::optional<TSourceFile> ReadSource(const std::u16string& path, std::uint64_t maxSize) override {
    TWinHandle file(CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
    const std::uint64_t size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > maxSize || size > SIZE_MAX / 2) return std::nullopt;
    TSourceFile source;
    try {
      source.data.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
      return std::nullopt;
    }
    std::size_t done = 0;
    while (done < source.data.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(source.data.size() - done, 1u << 30));
      DWORD got = 0;
      if (!ReadFile(file.Get(), source.data.data() + done, chunk, &got, nullptr) || got == 0) return std::nullopt;
      done += got;
    }
    source.attributes = info.dwFileAttributes;
    source.modified = LocalTimeOf(info.ftLastWriteTime);
    source.writeSeconds = SecondsOf(info.ftLastWriteTime);
    return source;
  }

  std::optional<TFileStat> Stat(const std::u16string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      return std::nullopt;
    TFileStat stat;
    stat.size = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stat.attributes = data.dwFileAttributes;
    stat.modified = LocalTimeOf(data.ftLastWriteTime);
    stat.writeSeconds = SecondsOf(data.ftLastWriteTime);
    return stat;
  }

  std::unique_ptr<IFileWriter> CreateExclusive(const std::u16string& path) override {
    HANDLE h = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<TWinWriter>(h);
  }

  bool Replace(const std::u16string& from, const std::u16string& to) override {
    return MoveFileExW(Wide(from), Wide(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }

  bool Remove(const std::u16string& path) override { return DeleteFileW(Wide(path)) != 0; }

  std::unique_ptr<IFileReader> OpenRead(const std::u16string& path) override {
    // Shared for writing too, as the reporter's own files may still be open
    // elsewhere.
    TWinHandle file(CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    const auto size = SizeOf(file.Get());
    if (!size) return nullptr;
    return std::make_unique<TWinReader>(std::move(file), *size);
  }

  std::unique_ptr<IExclusiveFile> OpenExclusive(const std::u16string& path) override {
    TWinHandle file(CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    return std::make_unique<TWinExclusiveFile>(*this, std::move(file), path);
  }

  bool CreateFolders(const std::u16string& folder) override {
    if (folder.empty()) return false;
    const DWORD attributes = GetFileAttributesW(Wide(folder));
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const std::u16string parent = FolderOf(folder);
    if (parent.size() < folder.size() && !parent.empty()) CreateFolders(parent);
    return CreateDirectoryW(Wide(folder), nullptr) != 0 || GetLastError() == ERROR_ALREADY_EXISTS;
  }
};

}  // namespace

IFileSystem& DefaultFileSystem() {
  static TWinFileSystem instance;
  return instance;
}

}  // namespace kelvane
