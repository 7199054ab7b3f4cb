#include "reporter/core/settings/SettingsHost_win.h"
#include "common/win/WinText_win.h"

#include <windows.h>

#include "common/win/NativeHandles_win.h"
#include <shlobj.h>

#include "reporter/engines/system/os/OsInfo.h"
#include "reporter/engines/pe/resources/Version.h"

namespace ruvex {
namespace {

using kelvane::Wide;
using kelvane::FromWide;


HMODULE AsModule(ModuleHandle m) { return kelvane::ToHmodule(m); }

// Reads memory of this process without faulting on unreadable addresses.
bool ReadOwnMemory(std::uintptr_t address, void* out, SIZE_T size) {
  SIZE_T done = 0;
  return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const void*>(address), out, size, &done) &&
         done == size;
}

}  // namespace

ModuleHandle TWin32SettingsHost::ExecutableModule() const {
  return kelvane::FromHmodule(GetModuleHandleW(nullptr));
}

ModuleHandle TWin32SettingsHost::LibraryModule() const {
  static const int anchor = 0;
  return ModuleOfAddress(reinterpret_cast<std::uintptr_t>(&anchor));
}

// The reporter is linked into each module that carries it; it never lives
// in a shared package serving others.
bool TWin32SettingsHost::PackageMode() const { return false; }

std::uint32_t TWin32SettingsHost::ProcessId() const { return GetCurrentProcessId(); }

std::optional<std::string> TWin32SettingsHost::SettingsBlock(ModuleHandle module) const {
  HMODULE m = AsModule(module);
  HRSRC found = FindResourceW(m, L"TRUVEXEXCEPT", reinterpret_cast<LPCWSTR>(RT_RCDATA));
  if (!found) return std::nullopt;
  DWORD size = SizeofResource(m, found);
  HGLOBAL loaded = LoadResource(m, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return std::nullopt;
  return std::string(static_cast<const char*>(data), size);
}

std::u16string TWin32SettingsHost::ModuleFileName(ModuleHandle module) const {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(AsModule(module), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return FromWide(buffer.substr(0, n).c_str());
    if (buffer.size() > 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::optional<std::u16string> TWin32SettingsHost::FileVersion(ModuleHandle module) const {
  std::u16string file = ModuleFileName(module);
  if (file.empty()) return std::nullopt;
  std::u16string version = FileVersionText(file);
  if (version.empty()) return std::nullopt;
  return version;
}

std::optional<std::string> TWin32SettingsHost::ReadVersionText(ModuleHandle module, std::int32_t offset) const {
  std::uintptr_t pointer = 0;
  if (!ReadOwnMemory(module.Value() + static_cast<std::intptr_t>(offset), &pointer, sizeof pointer) || !pointer)
    return std::nullopt;
  std::string text;
  for (char c; text.size() < 4096; text.push_back(c)) {
    if (!ReadOwnMemory(pointer + text.size(), &c, 1)) return std::nullopt;
    if (c == '\0') return text;
  }
  return text;
}

std::vector<ModuleHandle> TWin32SettingsHost::ModulesByAddress() const {
  std::vector<ModuleHandle> modules;
  MEMORY_BASIC_INFORMATION info{};
  wchar_t name[MAX_PATH];
  for (std::uintptr_t address = 0;
       VirtualQuery(reinterpret_cast<const void*>(address), &info, sizeof info) == sizeof info;) {
    bool accessible = info.State == MEM_COMMIT && !(info.Protect & (PAGE_NOACCESS | PAGE_GUARD));
    if (accessible && info.BaseAddress == info.AllocationBase &&
        GetModuleFileNameW(static_cast<HMODULE>(info.AllocationBase), name, MAX_PATH) != 0)
      modules.push_back(ModuleHandle(reinterpret_cast<std::uintptr_t>(info.AllocationBase)));
    std::uintptr_t next = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return modules;
}

ModuleHandle TWin32SettingsHost::FindModule(std::u16string_view fileName) const {
  return kelvane::FromHmodule(GetModuleHandleW(Wide(std::u16string(fileName))));
}

ModuleHandle TWin32SettingsHost::ModuleOfAddress(std::uintptr_t address) const {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(address), &module))
    return {};
  return kelvane::FromHmodule(module);
}

void TWin32SettingsHost::ShowMessage(std::u16string_view caption, std::u16string_view text) const {
  MessageBoxW(nullptr, Wide(std::u16string(text)), Wide(std::u16string(caption)), MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

std::u16string TWin32SettingsHost::ComputerName() const {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(name, &size) ? FromWide(name) : u"";
}

std::u16string TWin32SettingsHost::OsDescription() const { return OsInfo().description; }

std::optional<std::u16string> TWin32SettingsHost::ShellFolder(TShellFolder folder) const {
  int csidl = folder == TShellFolder::desktop         ? CSIDL_DESKTOPDIRECTORY
              : folder == TShellFolder::userAppData   ? CSIDL_APPDATA
              : folder == TShellFolder::commonAppData ? CSIDL_COMMON_APPDATA
                                                      : CSIDL_LOCAL_APPDATA;
  wchar_t path[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return std::nullopt;
  return FromWide(path);
}

TLocalTime TWin32SettingsHost::LocalTime() const {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

}  // namespace ruvex
