#pragma once
#include <memory>

#include "launcher/platform/LauncherPlatform.h"

namespace kelvane {

// The launcher's services on the real Windows API.
std::unique_ptr<ILauncherPlatform> MakeWin32Platform();

}  // namespace kelvane
