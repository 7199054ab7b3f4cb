#pragma once
// The launcher's main routine and the launch dispatch: configuration, target
// resolution, macro expansion, and the handling of errors that leave it.
#include <cstdint>
#include <string>
#include <string_view>

#include "launcher/Web.Custom.BrowserEnum.h"
#include "launcher/platform/LauncherError.h"
#include "launcher/platform/LauncherPlatform.h"

namespace kelvane {

class Config;

// The launcher's own failure: a configured debug manager that is missing.
class EKelvaneWork : public ELauncherError {
 public:
  using ELauncherError::ELauncherError;
  const char* ClassName() const override { return "EKelvaneWork"; }
};

// Exit codes of a run.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // no local target, or an error on the launch path

// Help mode, or launch mode with the located configuration file. Sets
// `exitCode` to 1 when the launch finds no target; an ELauncherError from the
// launch path sets it to 1 and travels on unchanged.
void Main(ILauncherPlatform& platform, int& exitCode);

// The main routine under the top-level handling used while the crash
// reporter is passive: an ELauncherError (or another standard exception)
// that leaves it is shown in the "Application Error" box. Returns the exit
// code.
int RunMainWithErrorBox(ILauncherPlatform& platform);

// The text of the "Application Error" box. `codeAddress` is shown as a
// pointer (hexadecimal, the pointer's width).
std::u16string ApplicationErrorText(std::u16string_view className, std::u16string_view moduleName,
                                    std::uintptr_t codeAddress, std::u16string_view message);

// Opens the configuration and dispatches the launch. Returns 1 when no local
// target exists, else 0.
int RunLauncher(ILauncherPlatform& platform, const std::u16string& configFileName);

// The URL branch: macros, the HTML file name, "http://" for a text without a
// scheme, URLParams. Then the browser launch.
void ResolveUrlTarget(ILauncherPlatform& platform, const std::u16string& url, BrowserKind browser,
                      const Config& config);

// The local branch: the HTML file in the output directory, else the one
// named after the executable beside it. False when neither exists (nothing
// is started then).
bool ResolveLocalTarget(ILauncherPlatform& platform, BrowserKind browser, const Config& config);

// "$(ProjectName)", "$(OutputDir)" and "$(DefaultURL)", in that order, in any
// letter case; inserted text is not searched again by the same step.
std::u16string ExpandMacros(ILauncherPlatform& platform, std::u16string_view text, const Config& config);

// The text in double quotes (inner quotes doubled) when it holds a space.
std::u16string QuoteIfSpaced(std::u16string_view text);

}  // namespace kelvane
