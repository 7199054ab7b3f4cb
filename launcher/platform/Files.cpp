#include "launcher/platform/Files.h"

#include "common/text/Format.h"
#include "launcher/Web.Custom.Resources.h"
#include "launcher/platform/LauncherError.h"

namespace kelvane {

std::string ReadWholeFile(ILauncherPlatform& platform, const std::u16string& path) {
  std::string bytes;
  if (const std::uint32_t error = platform.ReadFileDenyingWriters(path, bytes); error != 0) {
    throw EFileOpenError(
        FormatText(resources::kCannotOpenFile, {platform.FullPathName(path), platform.SystemErrorText(error)}));
  }
  return bytes;
}

}  // namespace kelvane
