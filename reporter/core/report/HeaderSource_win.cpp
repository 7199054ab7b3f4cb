#include "reporter/core/report/HeaderSource_win.h"

#include <wtsapi32.h>

#include "common/win/WinText_win.h"
#include "reporter/engines/system/os/OsInfo.h"
#include "reporter/engines/pe/resources/Version.h"

namespace ruvex {
namespace {

using kelvane::FromWide;
using kelvane::Wide;

std::u16string ReadRegistryText(HKEY root, const wchar_t* key, const wchar_t* value) {
  wchar_t buffer[512];
  DWORD size = sizeof(buffer);
  if (RegGetValueW(root, key, value, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) return {};
  return FromWide(buffer);
}

std::optional<DWORD> ReadRegistryNumber(HKEY root, const wchar_t* key, const wchar_t* value) {
  DWORD number = 0, size = sizeof(number);
  if (RegGetValueW(root, key, value, RRF_RT_REG_DWORD, nullptr, &number, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return number;
}

constexpr wchar_t kCurrentVersionKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
constexpr wchar_t kProcessorKey[] = L"hardware\\description\\system\\centralProcessor\\";

std::u16string ModulePath(HMODULE module) {
  wchar_t buffer[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(module, buffer, static_cast<DWORD>(std::size(buffer)));
  return n && n < std::size(buffer) ? FromWide(buffer, n) : std::u16string();
}

std::optional<TDriveSpace> SpaceOfDrive(const std::u16string& path) {
  if (path.size() < 2 || path[1] != u':') return std::nullopt;
  const std::u16string root = path.substr(0, 2) + u"\\";
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(Wide(root), &available, nullptr, nullptr)) return std::nullopt;
  return TDriveSpace{static_cast<char16_t>(path[0] & ~0x20), available.QuadPart};
}

template <typename Visit>
void ForEachRegion(Visit visit) {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  auto address = static_cast<const char*>(info.lpMinimumApplicationAddress);
  const auto end = static_cast<const char*>(info.lpMaximumApplicationAddress);
  MEMORY_BASIC_INFORMATION region;
  while (address < end && VirtualQuery(address, &region, sizeof(region)) == sizeof(region)) {
    visit(region);
    const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    if (next <= address) break;
    address = next;
  }
}

}  // namespace

TWinHeaderSource::TWinHeaderSource(ULONGLONG startTick, HMODULE module)
    : startTick_(startTick), module_(module ? module : GetModuleHandleW(nullptr)) {}

std::u16string TWinHeaderSource::ComputerName() {
  wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = static_cast<DWORD>(std::size(buffer));
  return GetComputerNameW(buffer, &size) ? FromWide(buffer, size) : std::u16string();
}

std::u16string TWinHeaderSource::WtsClientName() {
  DWORD session = 0;
  if (!ProcessIdToSessionId(GetCurrentProcessId(), &session)) return {};
  const auto glass = ReadRegistryNumber(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Terminal Server",
                                        L"GlassSessionID");
  const bool otherSession = glass && *glass != session;
  if (!GetSystemMetrics(SM_REMOTESESSION) && !otherSession) return {};
  wchar_t* name = nullptr;
  DWORD bytes = 0;
  if (!WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSClientName, &name, &bytes))
    return {};
  std::u16string text = FromWide(name);
  WTSFreeMemory(name);
  return text;
}

std::u16string TWinHeaderSource::UserName() {
  wchar_t buffer[257];
  DWORD size = static_cast<DWORD>(std::size(buffer));
  return GetUserNameW(buffer, &size) && size > 0 ? FromWide(buffer, size - 1) : std::u16string();
}

bool TWinHeaderSource::UserIsAdministrator() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &administrators))
    return false;
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member != FALSE;
}

std::u16string TWinHeaderSource::RegisteredOwner() {
  return ReadRegistryText(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"RegisteredOwner");
}

std::u16string TWinHeaderSource::RegisteredOrganization() {
  return ReadRegistryText(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"RegisteredOrganization");
}

std::u16string TWinHeaderSource::OperatingSystem() { return OsInfo().description; }
std::uint32_t TWinHeaderSource::BuildNumber() { return OsInfo().build; }

std::u16string TWinHeaderSource::SystemLanguage() {
  wchar_t buffer[128];
  const int n = GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLISHLANGUAGENAME, buffer, 128);
  return n > 1 ? FromWide(buffer, n - 1) : std::u16string();
}

std::int64_t TWinHeaderSource::SystemUpTimeMilliseconds() { return static_cast<std::int64_t>(GetTickCount64()); }

std::int64_t TWinHeaderSource::ProgramUpTimeMilliseconds() {
  return static_cast<std::int64_t>(GetTickCount64() - startTick_);
}

std::u16string TWinHeaderSource::ProcessorName() {
  return ReadRegistryText(HKEY_LOCAL_MACHINE, (std::wstring(kProcessorKey) + L"0").c_str(), L"ProcessorNameString");
}

bool TWinHeaderSource::HasProcessorKey(int number) {
  HKEY key;
  const std::wstring name = std::wstring(kProcessorKey) + std::to_wstring(number);
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::optional<TMemoryAmounts> TWinHeaderSource::PhysicalMemory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof(status);
  if (!GlobalMemoryStatusEx(&status)) return std::nullopt;
  return TMemoryAmounts{status.ullAvailPhys, status.ullTotalPhys};
}

std::optional<TDriveSpace> TWinHeaderSource::SystemDriveSpace() {
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  return n && n < MAX_PATH ? SpaceOfDrive(FromWide(folder, n)) : std::nullopt;
}

std::optional<TDriveSpace> TWinHeaderSource::ProgramDriveSpace() { return SpaceOfDrive(ExecutableFile()); }

std::optional<TDisplayMode> TWinHeaderSource::DisplayMode() {
  DEVMODEW mode{};
  mode.dmSize = sizeof(mode);
  if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return std::nullopt;
  return TDisplayMode{static_cast<int>(mode.dmPelsWidth), static_cast<int>(mode.dmPelsHeight),
                      static_cast<int>(mode.dmBitsPerPel), 1};
}

std::uint32_t TWinHeaderSource::ProcessId() { return GetCurrentProcessId(); }

std::uint64_t TWinHeaderSource::AllocatedMemory() {
  std::uint64_t committed = 0;
  ForEachRegion([&](const MEMORY_BASIC_INFORMATION& region) {
    if (region.State == MEM_COMMIT && region.Type != MEM_IMAGE) committed += region.RegionSize;
  });
  return committed;
}

std::uint64_t TWinHeaderSource::LargestFreeBlock() {
  std::uint64_t largest = 0;
  ForEachRegion([&](const MEMORY_BASIC_INFORMATION& region) {
    if (region.State == MEM_FREE && region.RegionSize > largest) largest = region.RegionSize;
  });
  return largest;
}

std::u16string TWinHeaderSource::CommandLineWithParameters() {
  const std::u16string line = FromWide(GetCommandLineW());
  // The program name ends at its closing quote or at the first blank.
  std::size_t end = 0;
  if (!line.empty() && line[0] == u'"') {
    end = line.find(u'"', 1);
    end = end == std::u16string::npos ? line.size() : end + 1;
  } else {
    end = line.find_first_of(u" \t");
    if (end == std::u16string::npos) end = line.size();
  }
  return TrimBlanks(std::u16string_view(line).substr(end)).empty() ? std::u16string() : line;
}

std::u16string TWinHeaderSource::ExecutableFile() { return ModulePath(nullptr); }
std::u16string TWinHeaderSource::ModuleFile() { return ModulePath(module_); }

std::optional<TReportTime> TWinHeaderSource::LastWriteTime(const std::u16string& file) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  FILETIME local;
  SYSTEMTIME t;
  if (!GetFileAttributesExW(Wide(file), GetFileExInfoStandard, &data) ||
      !FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &t))
    return std::nullopt;
  return TReportTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

std::u16string TWinHeaderSource::FileVersion(const std::u16string& file) { return FileVersionText(file); }

std::u16string TWinHeaderSource::LoadedModuleVersion(std::u16string_view moduleName) {
  HMODULE module = GetModuleHandleW(Wide(std::u16string(moduleName)));
  return module ? FileVersionText(ModulePath(module)) : std::u16string();
}

int TWinHeaderSource::LinkerMajorVersion(const std::u16string& file) {
  const auto base = reinterpret_cast<const BYTE*>(GetModuleHandleW(Wide(file)));
  if (!base) return 0;
  const auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return 0;
  const auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  return nt->Signature == IMAGE_NT_SIGNATURE ? nt->OptionalHeader.MajorLinkerVersion : 0;
}

}  // namespace ruvex
