#include "reporter/core/startup/TempFolder_win.h"
#include "common/win/WinText_win.h"

#include <shlobj.h>

#include <cwchar>

namespace ruvex {
namespace {

using kelvane::Wide;
using kelvane::FromWide;


TFolderEntry FromAttributes(std::u16string name, DWORD attributes) {
  return {std::move(name), (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
          (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0};
}

}  // namespace

std::optional<TFolderEntry> TWin32TempFileSystem::Stat(const std::u16string& path) {
  DWORD attributes = GetFileAttributesW(Wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return FromAttributes(path, attributes);
}

std::vector<TFolderEntry> TWin32TempFileSystem::List(const std::u16string& folder) {
  std::vector<TFolderEntry> entries;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Wide(folder + u"*"), &data);
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    entries.push_back(FromAttributes(FromWide(data.cFileName), data.dwFileAttributes));
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return entries;
}

bool TWin32TempFileSystem::DeleteFileAt(const std::u16string& path) {
  // A read-only leftover is still ours to remove.
  SetFileAttributesW(Wide(path), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileW(Wide(path)) != 0;
}

bool TWin32TempFileSystem::RemoveFolder(const std::u16string& path) { return RemoveDirectoryW(Wide(path)) != 0; }

std::u16string ReporterTempFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  std::u16string tempDir = n > 0 && n <= MAX_PATH ? FromWide(temp) : u"";
  std::u16string appData;
  wchar_t path[MAX_PATH];
  if (tempDir.empty() && SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
    appData = FromWide(path);
  std::wstring exe(MAX_PATH, L'\0');
  DWORD len = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
  if (len == 0 || len >= exe.size()) return {};
  exe.resize(len);
  return TempFolderPath(tempDir, appData, FromWide(exe.c_str()));
}

std::wstring TempFolderGuardName(const std::u16string& folder) {
  // Case-insensitive FNV-1a of the folder: one name per folder and session.
  std::uint32_t hash = 2166136261u;
  for (char16_t c : folder) {
    char16_t lower = c < 128 && c >= u'A' && c <= u'Z' ? c + 32 : c;
    hash = (hash ^ (lower & 0xFF)) * 16777619u;
    hash = (hash ^ (lower >> 8)) * 16777619u;
  }
  wchar_t text[16];
  std::swprintf(text, 16, L"%08x", hash);
  return std::wstring(L"Local\\RuvexExceptTempFolder$") + text;
}

}  // namespace ruvex
