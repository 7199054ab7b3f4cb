#include <windows.h>

#include "common/text/Utf.h"
#include "reporter/engines/pe/exports/Exports.h"
#include "reporter/engines/pe/headers/ImageMemory.h"

namespace ruvex {
namespace {

HMODULE AsModule(Address module) { return reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(module)); }

}  // namespace

TProcAddressHooks SystemProcAddressHooks() {
  TProcAddressHooks hooks;
  hooks.mapFile = [](Address module) -> std::unique_ptr<IMemoryReader> {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(AsModule(module), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    auto image = std::make_unique<TImageMemory>();
    const std::string utf8 = kelvane::Utf16ToUtf8(reinterpret_cast<const char16_t*>(path));
    if (!image->AddImageFile(utf8, nullptr, module)) return nullptr;
    return image;
  };
  hooks.systemLookup = [](Address module, const std::string& name) -> std::optional<Address> {
    const FARPROC proc = GetProcAddress(AsModule(module), name.c_str());
    if (!proc) return std::nullopt;
    return reinterpret_cast<std::uintptr_t>(reinterpret_cast<void*>(proc));
  };
  return hooks;
}

}  // namespace ruvex
