#pragma once
// Starting what the launch resolved: a browser, the debug manager, the
// shell's "open", or npm for an Electron project.
#include <cstdint>
#include <string>
#include <string_view>

#include "launcher/Web.Custom.BrowserEnum.h"
#include "launcher/platform/LauncherPlatform.h"

namespace kelvane {

class Config;

// CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS
inline constexpr std::uint32_t kLaunchCreationFlags = 0x04000020;
inline constexpr std::uint32_t kStartfUseShowWindow = 0x00000001;
inline constexpr std::uint16_t kSwHide = 0;
inline constexpr std::uint16_t kSwShowNormal = 1;

inline constexpr char16_t kDevToolsFlag[] = u"--auto-open-devtools-for-tabs";
inline constexpr char16_t kEdgeProtocol[] = u"microsoft-edge:";
inline constexpr char16_t kDebugManagerArguments[] = u"/url:\"%s\" /browser:%d";
inline constexpr char16_t kDebugManagerDebugArguments[] = u"/url:\"%s\" /browser:%d /debug";

// Starts `program` followed by one space and `arguments` (when not empty),
// nothing quoted, handles inherited, in `workingDirectory` or the launcher's
// own. Does not wait; true when the process was created.
bool StartProcess(ILauncherPlatform& platform, std::u16string_view program, std::u16string_view arguments,
                  std::u16string_view workingDirectory, bool show);

// Asks the shell to "open" the text, shown normally; the outcome is ignored.
void ShellOpen(ILauncherPlatform& platform, std::u16string_view file);

// Starts the target in the chosen browser, through the debug manager when
// "SingleInstance" and "DebugManager" say so, in every browser for All, or
// through the shell. Raises EKelvaneWork when the debug manager is missing.
void LaunchInBrowser(ILauncherPlatform& platform, const std::u16string& target, BrowserKind browser,
                     const Config& config);

// Runs the project's npm script in its folder through cmd.exe, hidden.
// Build values other than 0 to 3 start nothing.
void LaunchElectron(ILauncherPlatform& platform, std::u16string_view projectDirectory, std::uint8_t build);

// The command line LaunchElectron runs; empty when the build value starts nothing.
std::u16string ElectronCommand(std::u16string_view projectDirectory, std::uint8_t build);

}  // namespace kelvane
