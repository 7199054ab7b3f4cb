#pragma once
// Read-only registry access with the launcher's rules: the fallback access
// rights, names counted from the root, strings checked for their type.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "launcher/platform/LauncherPlatform.h"

namespace kelvane {

// Opens a key read-only: asks for read access, then for read rights with
// value query and subkey listing, then for value query alone. A name that
// begins with a backslash counts from the root ("\" is the root itself).
// Null when the key does not open.
std::unique_ptr<IRegistryKey> OpenKeyReadOnly(ILauncherPlatform& platform, RegistryRoot root,
                                              std::u16string_view name);

// Whether the key opens with read rights, value query and subkey listing.
bool KeyExists(ILauncherPlatform& platform, RegistryRoot root, std::u16string_view name);

// A string value: missing reads as empty; REG_SZ and REG_EXPAND_SZ come back
// unexpanded and cut at the first NUL; any other type raises ERegistryError
// "Invalid data type for '<name>'".
std::u16string ReadRegistryString(IRegistryKey& key, const std::u16string& valueName);

// The string value of a key, or empty when the key does not open.
std::u16string ReadKeyString(ILauncherPlatform& platform, RegistryRoot root, std::u16string_view keyName,
                             const std::u16string& valueName);

}  // namespace kelvane
