#include "reporter/engines/symbols/sources/SymbolFiles.h"

namespace ruvex {

std::u16string SiblingPath(const std::u16string& modulePath, const std::u16string& extension) {
  const std::size_t dot = modulePath.rfind(u'.');
  const std::size_t slash = modulePath.find_last_of(u"\\/");
  if (dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash)) return modulePath + extension;
  return modulePath.substr(0, dot) + extension;
}

}  // namespace ruvex
