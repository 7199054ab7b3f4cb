// IFileSystem over the Windows API: shared reading, exclusive new files, and
// the last-write time in local time as zip entries carry it.
#include <windows.h>
#include "common/WinText_win.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "reporter/archive/FileSystem.h"

namespace ruvex {
namespace {

using kelvane::Wide;


struct THandle {
  HANDLE h = INVALID_HANDLE_VALUE;
  explicit THandle(HANDLE handle) : h(handle) {}
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  ~THandle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  bool valid() const { return h != INVALID_HANDLE_VALUE; }
};

TLocalTime LocalTimeOf(const FILETIME& utc) {
  TLocalTime t;
  FILETIME local;
  SYSTEMTIME parts;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &parts)) return t;
  t.year = parts.wYear;
  t.month = parts.wMonth;
  t.day = parts.wDay;
  t.hour = parts.wHour;
  t.minute = parts.wMinute;
  t.second = parts.wSecond;
  return t;
}

class TWinWriter final : public IFileWriter {
 public:
  explicit TWinWriter(HANDLE h) : file_(h) {}
  bool Write(std::string_view bytes) override {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
      DWORD written = 0;
      if (!WriteFile(file_.h, bytes.data() + done, chunk, &written, nullptr) || written != chunk) return false;
      done += written;
    }
    return true;
  }
  bool Close() override {
    if (!file_.valid()) return false;
    const bool ok = CloseHandle(file_.h) != 0;
    file_.h = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  THandle file_;
};

class TWinFileSystem final : public IFileSystem {
 public:
  std::optional<TSourceFile> ReadSource(const std::u16string& path, std::uint64_t maxSize) override {
    THandle file(CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file.h, &info)) return std::nullopt;
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
      if (!ReadFile(file.h, source.data.data() + done, chunk, &got, nullptr) || got == 0) return std::nullopt;
      done += got;
    }
    source.attributes = info.dwFileAttributes;
    source.modified = LocalTimeOf(info.ftLastWriteTime);
    return source;
  }

  std::unique_ptr<IFileWriter> CreateExclusive(const std::u16string& path) override {
    HANDLE h = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<TWinWriter>(h);
  }

  bool Replace(const std::u16string& from, const std::u16string& to) override {
    return MoveFileExW(Wide(from), Wide(to), MOVEFILE_REPLACE_EXISTING) != 0;
  }

  bool Remove(const std::u16string& path) override { return DeleteFileW(Wide(path)) != 0; }
};

}  // namespace

IFileSystem& DefaultFileSystem() {
  static TWinFileSystem instance;
  return instance;
}

}  // namespace ruvex
