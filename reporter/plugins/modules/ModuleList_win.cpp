#include <windows.h>

#include <memory>

#include "reporter/engines/pe/resources/Version.h"
#include "reporter/plugins/modules/ModuleList.h"

namespace ruvex {

namespace {

class TWinModuleListSystem final : public IModuleListSystem {
 public:
  std::optional<TAddressRegion> Query(Address address) const override {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(reinterpret_cast<LPCVOID>(static_cast<std::uintptr_t>(address)), &info, sizeof info) == 0)
      return std::nullopt;
    return TAddressRegion{reinterpret_cast<std::uintptr_t>(info.BaseAddress), info.RegionSize,
                          reinterpret_cast<std::uintptr_t>(info.AllocationBase), info.State == MEM_COMMIT};
  }
  std::optional<std::u16string> ModuleFileName(Address base) const override {
    wchar_t name[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(base)), name, MAX_PATH);
    if (length == 0) return std::nullopt;
    return std::u16string(reinterpret_cast<const char16_t*>(name), length);
  }
  std::optional<std::u16string> LongComponentName(std::u16string_view path) const override {
    std::u16string query(path);
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(reinterpret_cast<LPCWSTR>(query.c_str()), &found);
    if (search == INVALID_HANDLE_VALUE) return std::nullopt;
    const std::unique_ptr<void, decltype(&FindClose)> closer(search, &FindClose);
    return std::u16string(reinterpret_cast<const char16_t*>(found.cFileName));
  }
  std::u16string FileVersion(std::u16string_view path) const override { return FileVersionText(std::u16string(path)); }
};

}  // namespace

std::u16string ModuleListPlugin() {
  try {
    return FormatModuleList(GatherModules(TWinModuleListSystem()));
  } catch (...) {
    // A plug-in never raises: a failed list is an empty one.
    return {};
  }
}

}  // namespace ruvex
