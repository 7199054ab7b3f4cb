#include "launcher/Web.Custom.Browsers.h"

#include "launcher/Web.Custom.KVIni.h"
#include "launcher/paths/Paths.h"
#include "launcher/platform/Registry.h"

namespace kelvane {
namespace {

bool Contains(std::u16string_view text, std::u16string_view part) {
  return text.find(part) != std::u16string_view::npos;
}

// The ProgId of a user-choice key that exists and opens; empty otherwise.
std::u16string ChoiceProgId(ILauncherPlatform& platform, std::u16string_view key) {
  if (!KeyExists(platform, RegistryRoot::CurrentUser, key)) return {};
  const auto opened = OpenKeyReadOnly(platform, RegistryRoot::CurrentUser, key);
  return opened ? ReadRegistryString(*opened, choice_keys::kProgIdValue) : std::u16string();
}

// An empty current choice counts as none, so an older system's choice is
// still found.
std::u16string DefaultBrowserProgId(ILauncherPlatform& platform) {
  std::u16string progId = ChoiceProgId(platform, choice_keys::kUserChoiceLatest);
  if (progId.empty()) progId = ChoiceProgId(platform, choice_keys::kUserChoice);
  return progId;
}

BrowserKind FirefoxEditionOf(ILauncherPlatform& platform, const std::u16string& progId) {
  if (!KeyExists(platform, RegistryRoot::ClassesRoot, progId)) return BrowserKind::Firefox;
  const auto command = OpenKeyReadOnly(platform, RegistryRoot::ClassesRoot, progId + browser_keys::kOpenCommandSuffix);
  if (!command) return BrowserKind::Firefox;
  const std::u16string exe = ExtractExePath(platform, ReadRegistryString(*command, u""));
  return IsFirefoxDeveloperEdition(platform, exe) ? BrowserKind::FirefoxDeveloper : BrowserKind::Firefox;
}

}  // namespace

std::u16string ExtractExePath(ILauncherPlatform& platform, std::u16string_view commandLine) {
  const std::u16string lower = platform.LowerCase(commandLine);
  const size_t exe = lower.find(u".exe");
  if (exe == std::u16string::npos) return std::u16string(commandLine);
  size_t end = exe + 4;
  if (end < commandLine.size() && commandLine[end] == u'"') ++end;
  return std::u16string(commandLine.substr(0, end));
}

std::u16string BrowserCommandExe(ILauncherPlatform& platform, std::u16string_view key) {
  const auto opened = OpenKeyReadOnly(platform, RegistryRoot::ClassesRoot, key);
  if (!opened) return {};
  return ExtractExePath(platform, ReadRegistryString(*opened, u""));
}

BrowserKind DetectDefaultBrowser(ILauncherPlatform& platform) {
  const std::u16string progId = DefaultBrowserProgId(platform);
  if (progId.empty()) return BrowserKind::Default;
  if (Contains(platform.LowerCase(progId), u"firefox")) return FirefoxEditionOf(platform, progId);

  // The first match wins: a ProgId naming both Chrome and Edge is Chrome.
  const std::u16string name = platform.LowerCase(ExtractExePath(platform, progId));
  if (Contains(name, u"chrome")) return BrowserKind::Chrome;
  if (Contains(name, u"iexplore")) return BrowserKind::InternetExplorer;
  if (Contains(name, u"opera")) return BrowserKind::Opera;
  if (Contains(name, u"edge")) return BrowserKind::Edge;
  return BrowserKind::Default;
}

bool IsFirefoxDeveloperEdition(ILauncherPlatform& platform, std::u16string_view exePath) {
  const std::u16string directory = DirectoryPart(Unquote(exePath));
  const std::u16string iniPath = CombinePath(directory, u"application.ini");
  if (!platform.FileExists(iniPath)) return false;
  const auto ini = OpenConfig(platform, iniPath);
  const std::u16string codeName = platform.LowerCase(ini->ReadString(u"App", u"CodeName", u""));
  return Contains(codeName, u"developer edition");
}

std::u16string FirefoxCommand(ILauncherPlatform& platform, bool developer) {
  std::u16string candidate = BrowserCommandExe(platform, browser_keys::kFirefox);
  if (!candidate.empty() && IsFirefoxDeveloperEdition(platform, candidate) != developer) candidate.clear();
  if (!candidate.empty()) return candidate;

  // Each edition registers a key of its own ("FirefoxHTML-<install id>").
  const auto root = OpenKeyReadOnly(platform, RegistryRoot::ClassesRoot, u"\\");
  if (!root) return candidate;
  for (const std::u16string& name : root->SubkeyNames()) {
    if (!Contains(platform.LowerCase(name), u"firefoxhtml")) continue;
    candidate = BrowserCommandExe(platform, name + browser_keys::kOpenCommandSuffix);
    if (IsFirefoxDeveloperEdition(platform, candidate) == developer) return candidate;
  }
  return candidate;
}

bool EdgeInstalled(ILauncherPlatform& platform) {
  return FileExistsUnquoted(platform, BrowserCommandExe(platform, browser_keys::kEdge));
}

std::u16string Unquote(std::u16string_view text) {
  if (text.empty() || text.front() != u'"') return std::u16string(text);
  std::u16string inner;
  size_t i = 1;
  bool closed = false;
  while (i < text.size()) {
    if (text[i] == u'"') {
      if (i + 1 < text.size() && text[i + 1] == u'"') {
        inner.push_back(u'"');
        i += 2;
        continue;
      }
      closed = true;
      ++i;
      break;
    }
    inner.push_back(text[i++]);
  }
  // Nothing inside, or nothing after the (missing or final) closing quote:
  // only a text that also ends in a quote counts as quoted.
  const bool nothingAfter = !closed || i == text.size();
  if ((inner.empty() || nothingAfter) && text.back() != u'"') return std::u16string(text);
  return inner;
}

bool FileExistsUnquoted(ILauncherPlatform& platform, std::u16string_view text) {
  if (text.empty()) return false;
  const std::u16string path = Unquote(text);
  return !path.empty() && platform.FileExists(path);
}

}  // namespace kelvane
