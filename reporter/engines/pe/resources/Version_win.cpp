#include <windows.h>

#include <vector>

#include "reporter/engines/pe/resources/Version.h"

namespace ruvex {

std::u16string FileVersionText(const std::u16string& file) {
  const auto* name = reinterpret_cast<const wchar_t*>(file.c_str());
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(name, &ignored);
  if (size == 0) return {};
  std::vector<std::uint8_t> block(size);
  if (!GetFileVersionInfoW(name, 0, size, block.data())) return {};

  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueW(block.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    if (fixed->dwFileVersionMS != 0 || fixed->dwFileVersionLS != 0)
      return VersionToText(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
  }
  // No fixed version: the same rule as for the raw resource, which also
  // trims and picks the first translation.
  return FileVersionFromResource(std::string(reinterpret_cast<const char*>(block.data()), block.size()));
}

}  // namespace ruvex
