// The bug report file on Windows: the file itself, opened without sharing,
// is the hold that serialises saves; the new content goes into a sibling
// that replaces it.
#include <windows.h>

#include <algorithm>
#include <atomic>

#include "common/win/WinHandle_win.h"
#include "common/win/WinText_win.h"
#include "common/text/FileNames.h"
#include "reporter/core/reportfile/ReportFileStore.h"

namespace ruvex {

using kelvane::FolderOf;
namespace {

using kelvane::TWinHandle;
using kelvane::Wide;

constexpr DWORD kChunk = 1u << 20;

void CreateMissingFolders(const std::u16string& folder) {
  if (folder.empty() || GetFileAttributesW(Wide(folder)) != INVALID_FILE_ATTRIBUTES) return;
  const std::u16string parent = FolderOf(folder);
  if (parent.size() < folder.size()) CreateMissingFolders(parent);
  CreateDirectoryW(Wide(folder), nullptr);
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kChunk));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written != chunk) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

bool ReadExactly(HANDLE file, char* into, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, kChunk));
    DWORD got = 0;
    if (!ReadFile(file, into, chunk, &got, nullptr) || got == 0) return false;
    into += got;
    size -= got;
  }
  return true;
}

// A fresh file beside path that no one else uses.
TWinHandle CreateSibling(const std::u16string& path, std::u16string& sibling) {
  static std::atomic<std::uint32_t> counter{0};
  for (int attempt = 0; attempt < 32; ++attempt) {
    std::uint32_t tag = GetTickCount() ^ (GetCurrentProcessId() << 16) ^ (counter.fetch_add(1) * 0x9E3779B9u);
    sibling = path + u".~";
    for (int i = 0; i < 8; ++i, tag >>= 4) sibling.push_back(u"0123456789abcdef"[tag & 15]);
    TWinHandle file(CreateFileW(Wide(sibling), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return file;
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  return TWinHandle();
}

class TWinReportFileHold final : public IReportFileHold {
 public:
  TWinReportFileHold(TWinHandle file, std::u16string path) : file_(std::move(file)), path_(std::move(path)) {}

  std::optional<TFileContent> Read(std::uint64_t maxBytes) override {
    LARGE_INTEGER size;
    if (!file_ || !GetFileSizeEx(file_.Get(), &size) || size.QuadPart < 0) return std::nullopt;
    const std::uint64_t total = static_cast<std::uint64_t>(size.QuadPart);
    TFileContent content;
    content.headCut = total > maxBytes;
    const std::uint64_t wanted = content.headCut ? maxBytes : total;
    LARGE_INTEGER from;
    from.QuadPart = static_cast<LONGLONG>(total - wanted);
    if (!SetFilePointerEx(file_.Get(), from, nullptr, FILE_BEGIN)) return std::nullopt;
    try {
      content.bytes.resize(static_cast<std::size_t>(wanted));
    } catch (const std::bad_alloc&) {
      return std::nullopt;
    }
    if (!ReadExactly(file_.Get(), content.bytes.data(), content.bytes.size())) return std::nullopt;
    return content;
  }

  bool Replace(std::string_view bytes) override {
    if (!file_) return false;
    std::u16string sibling;
    TWinHandle out = CreateSibling(path_, sibling);
    if (!out) return false;
    const bool written = WriteAll(out.Get(), bytes) && FlushFileBuffers(out.Get());
    const bool closed = CloseHandle(out.Release()) != 0;
    // The hold ends only now; a save that gets the file in the moment before
    // the move makes the move fail, and the caller saves again.
    file_.Reset();
    if (written && closed &&
        MoveFileExW(Wide(sibling), Wide(path_), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    DeleteFileW(Wide(sibling));
    return false;
  }

 private:
  TWinHandle file_;
  std::u16string path_;
};

class TWinReportFileStore final : public IReportFileStore {
 public:
  std::unique_ptr<IReportFileHold> Hold(const std::u16string& path) override {
    CreateMissingFolders(FolderOf(path));
    TWinHandle file(CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    return std::make_unique<TWinReportFileHold>(std::move(file), path);
  }
};

}  // namespace

IReportFileStore& WindowsReportFileStore() {
  static TWinReportFileStore store;
  return store;
}

}  // namespace ruvex
