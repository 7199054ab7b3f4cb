#include "launcher/KV.Work.h"

#include <cstdio>
#include <vector>

#include "common/text/Format.h"
#include "common/text/Utf.h"
#include "launcher/KV.Run.h"
#include "launcher/KV.Switches.h"
#include "launcher/Web.Custom.KVIni.h"
#include "launcher/Web.Custom.Resources.h"
#include "launcher/paths/Paths.h"
#include "launcher/platform/CommandLine.h"

namespace kelvane {
namespace {

constexpr char16_t kHttpPrefix[] = u"http://";

std::u16string ExecutablePath(ILauncherPlatform& platform) { return ProgramParameters(platform).front(); }

// "HtmlFile", or the executable's file name with ".html".
std::u16string HtmlFileName(ILauncherPlatform& platform, const Config& config) {
  std::u16string name = config.ReadString(keys::kPaths, keys::kHtmlFile, u"");
  if (name.empty()) name = ChangeExtension(FileNamePart(ExecutablePath(platform)), u".html");
  return name;
}

// "scheme://" with a scheme of a letter followed by letters, digits, "+",
// "-" or ".": such a URL keeps its scheme.
bool HasScheme(std::u16string_view url) {
  const size_t colon = url.find(u"://");
  if (colon == std::u16string_view::npos || colon == 0) return false;
  const auto isLetter = [](char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
  if (!isLetter(url[0])) return false;
  for (size_t i = 1; i < colon; ++i) {
    const char16_t c = url[i];
    if (!isLetter(c) && !(c >= u'0' && c <= u'9') && c != u'+' && c != u'-' && c != u'.') return false;
  }
  return true;
}

std::u16string WithHttpPrefix(ILauncherPlatform& platform, std::u16string target) {
  const bool http = platform.SameTextIgnoringCase(std::u16string_view(target).substr(0, 7), kHttpPrefix);
  if (http || HasScheme(target)) return target;
  return kHttpPrefix + target;
}

// Replaces every occurrence of `macro` (in any letter case) by `value`,
// left to right, continuing after each inserted value.
std::u16string ReplaceMacro(ILauncherPlatform& platform, std::u16string_view text, std::u16string_view macro,
                            const std::u16string& value) {
  const std::u16string upperText = platform.UpperCase(text);
  const std::u16string upperMacro = platform.UpperCase(macro);
  std::u16string out;
  size_t from = 0;
  for (size_t found; (found = upperText.find(upperMacro, from)) != std::u16string::npos;
       from = found + macro.size()) {
    out.append(text.substr(from, found - from));
    out.append(value);
  }
  out.append(text.substr(from));
  return out;
}

std::u16string PointerText(std::uintptr_t address) {
  char digits[2 * sizeof(std::uintptr_t) + 1];
  std::snprintf(digits, sizeof digits, "%0*llX", static_cast<int>(2 * sizeof(std::uintptr_t)),
                static_cast<unsigned long long>(address));
  return U16(digits);
}

// The executable's file name for the error box, without the path rules'
// checks: the box must appear whatever the path holds.
std::u16string ModuleName(ILauncherPlatform& platform) {
  const std::u16string path = platform.ModuleFileName();
  const size_t separator = path.find_last_of(u"\\/:");
  return separator == std::u16string::npos ? path : path.substr(separator + 1);
}

}  // namespace

std::u16string QuoteIfSpaced(std::u16string_view text) {
  if (text.find(u' ') == std::u16string_view::npos) return std::u16string(text);
  std::u16string quoted = u"\"";
  for (char16_t c : text) {
    if (c == u'"') quoted.push_back(u'"');
    quoted.push_back(c);
  }
  quoted.push_back(u'"');
  return quoted;
}

std::u16string ExpandMacros(ILauncherPlatform& platform, std::u16string_view text, const Config& config) {
  std::u16string out =
      ReplaceMacro(platform, text, u"$(ProjectName)", FileNameWithoutExtension(ExecutablePath(platform)));
  out = ReplaceMacro(platform, out, u"$(OutputDir)",
                     QuoteIfSpaced(config.ReadString(keys::kPaths, keys::kHtmlPath, u"")));
  out = ReplaceMacro(platform, out, u"$(DefaultURL)", config.ReadString(keys::kPaths, keys::kDefaultUrl, u""));
  return out;
}

void ResolveUrlTarget(ILauncherPlatform& platform, const std::u16string& url, BrowserKind browser,
                      const Config& config) {
  std::u16string base = ExpandMacros(platform, url, config);
  if (!base.empty() && base.back() != u'/') base.push_back(u'/');
  std::u16string target = WithHttpPrefix(platform, base + HtmlFileName(platform, config));
  if (!target.empty() && target.back() == u'/') target.pop_back();
  target += config.ReadString(keys::kPaths, keys::kUrlParams, u"");
  LaunchInBrowser(platform, target, browser, config);
}

bool ResolveLocalTarget(ILauncherPlatform& platform, BrowserKind browser, const Config& config) {
  // Macros are expanded after the join: the join checks the macro names, not
  // the text they insert.
  const std::u16string combined =
      CombinePath(config.ReadString(keys::kPaths, keys::kHtmlPath, u""), HtmlFileName(platform, config));
  std::u16string path = ExpandMacros(platform, combined, config);
  if (!platform.FileExists(path)) {
    path = ChangeExtension(ExecutablePath(platform), u".html");
    if (!platform.FileExists(path)) return false;
  }
  LaunchInBrowser(platform, path + config.ReadString(keys::kPaths, keys::kUrlParams, u""), browser, config);
  return true;
}

int RunLauncher(ILauncherPlatform& platform, const std::u16string& configFileName) {
  const std::unique_ptr<Config> config = OpenConfig(platform, configFileName);
  if (config->ReadBool(keys::kPaths, keys::kElectron, false)) {
    const auto build = static_cast<std::uint8_t>(config->ReadInteger(keys::kPaths, keys::kElectronBuild, 0));
    LaunchElectron(platform, config->ReadString(keys::kPaths, keys::kHtmlPath, u""), build);
    return kExitDone;
  }
  std::int32_t browserValue = config->ReadInteger(keys::kPaths, keys::kBrowser, 1);
  if (browserValue < 0) browserValue = 0;
  const auto browser = static_cast<BrowserKind>(static_cast<std::uint8_t>(browserValue));

  const std::u16string url = config->ReadString(keys::kPaths, keys::kUrl, u"");
  if (!url.empty()) {
    ResolveUrlTarget(platform, url, browser, *config);
    return kExitDone;
  }
  return ResolveLocalTarget(platform, browser, *config) ? kExitDone : kExitFailed;
}

void Main(ILauncherPlatform& platform, int& exitCode) {
  if (HelpRequested(platform)) {
    WriteHelp(platform);
    return;
  }
  try {
    if (RunLauncher(platform, LocateConfigFile(platform)) != kExitDone) exitCode = kExitFailed;
  } catch (const ELauncherError&) {
    exitCode = kExitFailed;
    throw;
  }
}

std::u16string ApplicationErrorText(std::u16string_view className, std::u16string_view moduleName,
                                    std::uintptr_t codeAddress, std::u16string_view message) {
  const bool addDot = !message.empty() && message.back() != u'.';
  return FormatText(resources::kApplicationErrorText,
                    {className, moduleName, PointerText(codeAddress), message, addDot ? u"." : u""});
}

int RunMainWithErrorBox(ILauncherPlatform& platform) {
  // A C++ exception carries no raising address; the box shows the entry of
  // the routine the error left, which locates the failure in the image.
  const auto mainAddress = reinterpret_cast<std::uintptr_t>(&Main);
  int exitCode = kExitDone;
  try {
    Main(platform, exitCode);
    return exitCode;
  } catch (const ELauncherError& error) {
    platform.ShowErrorBox(resources::kApplicationErrorTitle,
                          ApplicationErrorText(U16(error.ClassName()), ModuleName(platform), mainAddress,
                                               error.Message()));
  } catch (const std::exception& error) {
    platform.ShowErrorBox(resources::kApplicationErrorTitle,
                          ApplicationErrorText(u"Exception", ModuleName(platform), mainAddress,
                                               Utf8ToUtf16(error.what())));
  }
  return kExitFailed;
}

}  // namespace kelvane
