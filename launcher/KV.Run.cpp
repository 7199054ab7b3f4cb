#include "launcher/KV.Run.h"

#include "common/text/Format.h"
#include "launcher/KV.Work.h"
#include "launcher/Web.Custom.Browsers.h"
#include "launcher/Web.Custom.BuildEnum.h"
#include "launcher/Web.Custom.KVIni.h"
#include "launcher/Web.Custom.Resources.h"

namespace kelvane {
namespace {

// "/d" changes the drive too, so npm runs in the project folder even when
// the launcher was started from another drive.
constexpr char16_t kElectronStart[] = u"cmd.exe /c cd /d \"%s\" & npm start";
constexpr char16_t kElectronScript[] = u"cmd.exe /c cd /d \"%s\" & npm run-script %s";

void StartDebugManager(ILauncherPlatform& platform, const std::u16string& manager, const std::u16string& target,
                       BrowserKind browser, bool debug) {
  if (!platform.FileExists(manager))
    throw EKelvaneWork(FormatText(resources::kDebugManagerMissing, {manager}));
  const std::u16string arguments = FormatText(debug ? kDebugManagerDebugArguments : kDebugManagerArguments,
                                              {target, DecimalText(BrowserNumber(browser))});
  StartProcess(platform, manager, arguments, u"", /*show=*/false);
}

// The program text for a browser value, or none when the shell takes the target.
std::u16string BrowserProgram(ILauncherPlatform& platform, BrowserKind browser, bool debug) {
  // Chrome and Edge take the flag glued to the executable text, which
  // normally ends in the closing quote of a quoted path.
  const auto withDevTools = [debug](std::u16string program) {
    return debug ? program + kDevToolsFlag : program;
  };
  switch (browser) {
    case BrowserKind::Chrome: return withDevTools(BrowserCommandExe(platform, browser_keys::kChrome));
    case BrowserKind::Firefox: return FirefoxCommand(platform, /*developer=*/false);
    case BrowserKind::Edge: return withDevTools(BrowserCommandExe(platform, browser_keys::kEdge));
    case BrowserKind::InternetExplorer: return BrowserCommandExe(platform, browser_keys::kInternetExplorer);
    case BrowserKind::Opera: return BrowserCommandExe(platform, browser_keys::kOpera);
    case BrowserKind::FirefoxDeveloper: return FirefoxCommand(platform, /*developer=*/true);
    default: return {};
  }
}

bool IsNamedBrowser(BrowserKind browser) {
  return browser >= BrowserKind::Chrome && browser <= BrowserKind::FirefoxDeveloper;
}

}  // namespace

bool StartProcess(ILauncherPlatform& platform, std::u16string_view program, std::u16string_view arguments,
                  std::u16string_view workingDirectory, bool show) {
  ProcessStartRequest request;
  request.commandLine = std::u16string(program);
  if (!arguments.empty()) {
    request.commandLine.push_back(u' ');
    request.commandLine.append(arguments);
  }
  request.inheritHandles = true;
  request.creationFlags = kLaunchCreationFlags;
  request.currentDirectory = std::u16string(workingDirectory);
  request.startupFlags = kStartfUseShowWindow;
  request.showWindow = show ? kSwShowNormal : kSwHide;
  return platform.CreateChildProcess(request);
}

void ShellOpen(ILauncherPlatform& platform, std::u16string_view file) {
  ShellExecuteRequest request;
  request.verb = u"open";
  request.file = std::u16string(file);
  request.show = kSwShowNormal;
  platform.RequestShellExecute(request);
}

void LaunchInBrowser(ILauncherPlatform& platform, const std::u16string& target, BrowserKind browser,
                     const Config& config) {
  if (browser == BrowserKind::All) {
    // Each browser is a complete launch of its own, debug manager included.
    for (int value = BrowserNumber(BrowserKind::Chrome); value <= BrowserNumber(BrowserKind::FirefoxDeveloper);
         ++value)
      LaunchInBrowser(platform, target, static_cast<BrowserKind>(value), config);
    return;
  }
  if (browser == BrowserKind::Default) browser = DetectDefaultBrowser(platform);

  const bool debug = config.ReadBool(keys::kPaths, keys::kDebug, false);
  if (config.ReadBool(keys::kPaths, keys::kSingleInstance, false)) {
    const std::u16string manager = config.ReadString(keys::kPaths, keys::kDebugManager, u"");
    if (!manager.empty()) {
      StartDebugManager(platform, manager, target, browser, debug);
      return;
    }
  }

  if (browser == BrowserKind::Edge && !EdgeInstalled(platform)) {
    ShellOpen(platform, kEdgeProtocol + target);
    return;
  }
  if (!IsNamedBrowser(browser)) {
    ShellOpen(platform, target);
    return;
  }
  // A browser that is not registered gives an empty program text; the start
  // then fails silently, as any failed start does.
  StartProcess(platform, BrowserProgram(platform, browser, debug), target, u"", /*show=*/true);
}

std::u16string ElectronCommand(std::u16string_view projectDirectory, std::uint8_t build) {
  switch (static_cast<ElectronBuild>(build)) {
    case ElectronBuild::Default:
    case ElectronBuild::Start: return FormatText(kElectronStart, {projectDirectory});
    case ElectronBuild::Win32: return FormatText(kElectronScript, {projectDirectory, u"run-win32"});
    case ElectronBuild::Win64: return FormatText(kElectronScript, {projectDirectory, u"run-win64"});
  }
  return {};
}

void LaunchElectron(ILauncherPlatform& platform, std::u16string_view projectDirectory, std::uint8_t build) {
  const std::u16string command = ElectronCommand(projectDirectory, build);
  if (command.empty()) return;
  StartProcess(platform, command, u"", u"", /*show=*/false);
}

}  // namespace kelvane
