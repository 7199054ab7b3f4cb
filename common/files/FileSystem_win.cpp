// IFileSystem over the Windows API: shared reading, exclusive new files, and
// the last-write time in local time as zip entries carry it.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <memory>

#include "common/files/FileSystem.h"
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
};

}  // namespace

IFileSystem& DefaultFileSystem() {
  static TWinFileSystem instance;
  return instance;
}

}  // namespace kelvane
