#include <windows.h>
#include "common/WinHandle_win.h"
#include "common/WinText_win.h"

#include <algorithm>

#include "reporter/engines/symbols/SymbolFiles.h"

namespace ruvex {

namespace {

using kelvane::TWinHandle;
using kelvane::Wide;

TWinHandle OpenShared(const std::u16string& path) {
  return TWinHandle(CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::optional<FILETIME> LastWrite(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return std::nullopt;
  return data.ftLastWriteTime;
}

class TWinSymbolFiles : public ISymbolFiles {
 public:
  std::optional<std::string> Read(const std::u16string& path, std::uint64_t maxSize) override {
    TWinHandle file = OpenShared(path);
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.Get(), &size) || static_cast<std::uint64_t>(size.QuadPart) > maxSize)
      return std::nullopt;
    std::string data(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < data.size()) {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 24));
      if (!ReadFile(file.Get(), &data[done], want, &got, nullptr) || got == 0) return std::nullopt;
      done += got;
    }
    return data;
  }
  bool Exists(const std::u16string& path) override { return LastWrite(path).has_value(); }
  std::optional<std::int64_t> WriteSeconds(const std::u16string& path) override {
    const auto t = LastWrite(path);
    if (!t) return std::nullopt;
    ULARGE_INTEGER u;
    u.LowPart = t->dwLowDateTime;
    u.HighPart = t->dwHighDateTime;
    return static_cast<std::int64_t>(u.QuadPart / 10000000u);
  }
  std::uint32_t WriteDosTime(const std::u16string& path) override {
    const auto t = LastWrite(path);
    FILETIME local;
    WORD date = 0, time = 0;
    if (!t || !FileTimeToLocalFileTime(&*t, &local) || !FileTimeToDosDateTime(&local, &date, &time)) return 0;
    return (static_cast<std::uint32_t>(date) << 16) | time;
  }
};

}  // namespace

ISymbolFiles& SystemSymbolFiles() {
  static TWinSymbolFiles files;
  return files;
}

}  // namespace ruvex
