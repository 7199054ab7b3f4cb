#include "reporter/core/settings/MinDebugInfo.h"

#include "common/text/Utf.h"
#include "reporter/core/properties/SettingsBlock.h"

namespace ruvex {

std::string ModuleMinDebugInfo(const ISettingsHost& host, ModuleHandle module) {
  if (!module) return {};
  const std::optional<std::string> block = host.SettingsBlock(module);
  if (!block) return {};
  const TSettingsBlockParse parse = ParseSettingsBlock(*block);
  if (!parse.headerMatches) return {};
  std::u16string value;
  for (const TREProperty& p : parse.properties)
    if (p.name == "MinDebugInfo" && p.typ == ptString) value = p.Str();
  // The fingerprint is plain ASCII ("$" and hexadecimal digits).
  return kelvane::Utf16ToUtf8(value);
}

}  // namespace ruvex
