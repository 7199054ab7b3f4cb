// Off Windows the version text of a file is read from its image alone.
#include "reporter/engines/pe/resources/Version.h"
#include "common/text/Utf.h"

namespace ruvex {

std::u16string FileVersionText(const std::u16string& file) {
  return FileVersionTextOfImageFile(kelvane::Utf16ToUtf8(file));
}

}  // namespace ruvex
