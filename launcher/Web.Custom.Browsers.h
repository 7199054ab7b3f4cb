#pragma once
// Finding the known browsers through the commands they registered for
// opening web pages, and the user's default browser.
#include <string>
#include <string_view>

#include "launcher/Web.Custom.BrowserEnum.h"
#include "launcher/platform/LauncherPlatform.h"

namespace kelvane {

// Registered open commands, under HKEY_CLASSES_ROOT (default value).
namespace browser_keys {
inline constexpr char16_t kChrome[] = u"ChromeHTML\\shell\\open\\command";
inline constexpr char16_t kEdge[] = u"MSEdgeHTM\\shell\\open\\command";
inline constexpr char16_t kInternetExplorer[] = u"Applications\\iexplore.exe\\shell\\open\\command";
inline constexpr char16_t kOpera[] = u"Applications\\opera.exe\\shell\\open\\command";
inline constexpr char16_t kFirefox[] = u"FirefoxHTML\\shell\\open\\command";
inline constexpr char16_t kOpenCommandSuffix[] = u"\\shell\\open\\command";
}  // namespace browser_keys

// The user's choice of http handler, under HKEY_CURRENT_USER. Newer systems
// keep the current choice only in the "UserChoiceLatest" key and leave the
// older "UserChoice" key stale, so the newer one is read first.
namespace choice_keys {
inline constexpr char16_t kUserChoiceLatest[] =
    u"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoiceLatest\\ProgId";
inline constexpr char16_t kUserChoice[] =
    u"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice";
inline constexpr char16_t kProgIdValue[] = u"ProgId";
}  // namespace choice_keys

// Default when nothing is detected; otherwise Chrome to FirefoxDeveloper.
BrowserKind DetectDefaultBrowser(ILauncherPlatform& platform);

// The executable part of the command registered under `key`, or empty when
// the key does not open. The executable is not checked for existence.
std::u16string BrowserCommandExe(ILauncherPlatform& platform, std::u16string_view key);

// The text up to and including the first ".exe" (any case), plus a double
// quote right after it; the whole text when it holds no ".exe".
std::u16string ExtractExePath(ILauncherPlatform& platform, std::u16string_view commandLine);

// The executable of the wanted Firefox edition. When no registered Firefox is
// of that edition, the last one met (of the other edition), or empty.
std::u16string FirefoxCommand(ILauncherPlatform& platform, bool developer);

// Whether the "application.ini" beside the executable names the Developer
// Edition. Raises EPathError for an empty, blank, over-long or invalid path.
bool IsFirefoxDeveloperEdition(ILauncherPlatform& platform, std::u16string_view exePath);

// Whether Edge's registered executable exists on disk.
bool EdgeInstalled(ILauncherPlatform& platform);

// A text in double quotes without them (inner pairs become one quote); see
// the definition for the texts that stay unchanged.
std::u16string Unquote(std::u16string_view text);

// Whether a file exists at the unquoted text; false for an empty one.
bool FileExistsUnquoted(ILauncherPlatform& platform, std::u16string_view text);

}  // namespace kelvane
