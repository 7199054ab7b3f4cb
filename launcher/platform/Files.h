#pragma once
#include <string>

#include "launcher/platform/LauncherPlatform.h"

namespace kelvane {

// The whole file, read with other writers refused. A file that cannot be
// opened raises EFileOpenError "Cannot open file "<full path>". <system text>".
std::string ReadWholeFile(ILauncherPlatform& platform, const std::u16string& path);

}  // namespace kelvane
