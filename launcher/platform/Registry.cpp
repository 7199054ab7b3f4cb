#include "launcher/platform/Registry.h"

#include "common/text/Format.h"
#include "common/text/Utf.h"
#include "launcher/Web.Custom.Resources.h"
#include "launcher/platform/LauncherError.h"

namespace kelvane {
namespace {

std::u16string FromRoot(std::u16string_view name) {
  if (!name.empty() && name.front() == u'\\') name.remove_prefix(1);
  return std::u16string(name);
}

}  // namespace

std::unique_ptr<IRegistryKey> OpenKeyReadOnly(ILauncherPlatform& platform, RegistryRoot root,
                                              std::u16string_view name) {
  const std::u16string subkey = FromRoot(name);
  for (std::uint32_t access : {kKeyRead, kKeyReadAndList, kKeyQueryValue}) {
    if (auto key = platform.OpenRegistryKey(root, subkey, access)) return key;
  }
  return nullptr;
}

bool KeyExists(ILauncherPlatform& platform, RegistryRoot root, std::u16string_view name) {
  return platform.OpenRegistryKey(root, FromRoot(name), kKeyReadAndList) != nullptr;
}

std::u16string ReadRegistryString(IRegistryKey& key, const std::u16string& valueName) {
  const std::optional<RegistryValue> value = key.QueryValue(valueName);
  if (!value) return {};
  if (value->type != kRegSz && value->type != kRegExpandSz)
    throw ERegistryError(FormatText(resources::kInvalidRegistryType, {valueName}));
  std::u16string text = Utf16FromBytes(value->data, /*bigEndian=*/false);
  if (const size_t nul = text.find(u'\0'); nul != std::u16string::npos) text.resize(nul);
  return text;
}

std::u16string ReadKeyString(ILauncherPlatform& platform, RegistryRoot root, std::u16string_view keyName,
                             const std::u16string& valueName) {
  const auto key = OpenKeyReadOnly(platform, root, keyName);
  return key ? ReadRegistryString(*key, valueName) : std::u16string();
}

}  // namespace kelvane
