#include "launcher/KV.Switches.h"

#include <optional>
#include <vector>

#include "common/text/Format.h"
#include "launcher/Web.Custom.Resources.h"
#include "launcher/paths/Paths.h"
#include "launcher/platform/CommandLine.h"
#include "launcher/platform/LauncherError.h"

namespace kelvane {
namespace {

constexpr std::u16string_view kConfigFileSwitch = u"configfile";
constexpr char16_t kDefaultConfigFile[] = u"Kelvane.ini";

bool StartsWithSwitchCharacter(std::u16string_view parameter) {
  return !parameter.empty() && (parameter.front() == u'-' || parameter.front() == u'/');
}

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + 32 : c; }

bool IsConfigFileSwitch(std::u16string_view parameter) {
  if (!StartsWithSwitchCharacter(parameter) || parameter.size() < 1 + kConfigFileSwitch.size()) return false;
  for (size_t i = 0; i < kConfigFileSwitch.size(); ++i) {
    if (FoldAscii(parameter[1 + i]) != kConfigFileSwitch[i]) return false;
  }
  return true;
}

// The value of the first "configfile" switch: appended (after an optional
// ":") or in the next parameter. None when there is no such switch.
std::optional<std::u16string> ConfigFileSwitchValue(const std::vector<std::u16string>& parameters) {
  constexpr size_t kSwitchLength = 1 + kConfigFileSwitch.size();
  for (size_t i = 1; i < parameters.size(); ++i) {
    const std::u16string& parameter = parameters[i];
    if (!IsConfigFileSwitch(parameter)) continue;
    if (parameter.size() > kSwitchLength) {
      const size_t start = parameter[kSwitchLength] == u':' ? kSwitchLength + 1 : kSwitchLength;
      return parameter.substr(start);
    }
    if (i + 1 < parameters.size() && !StartsWithSwitchCharacter(parameters[i + 1])) return parameters[i + 1];
    return std::u16string();
  }
  return std::nullopt;
}

void CheckInOut(std::uint32_t code) {
  if (code != 0) throw EInOutError(FormatText(resources::kInOutError, {DecimalText(code)}), code);
}

}  // namespace

bool HelpRequested(ILauncherPlatform& platform) {
  const std::vector<std::u16string> parameters = ProgramParameters(platform);
  for (size_t i = 1; i < parameters.size(); ++i) {
    const std::u16string_view parameter = parameters[i];
    if (StartsWithSwitchCharacter(parameter) && platform.SameTextIgnoringCase(parameter.substr(1), u"help"))
      return true;
  }
  return false;
}

std::u16string LocateConfigFile(ILauncherPlatform& platform) {
  const std::vector<std::u16string> parameters = ProgramParameters(platform);
  if (auto value = ConfigFileSwitchValue(parameters)) return *value;

  std::u16string name = parameters.size() > 1 ? parameters[1] : std::u16string();
  if (!name.empty() && !platform.FileExists(name)) name = CombinePath(DirectoryPart(parameters[0]), name);
  if (name.empty() || !platform.FileExists(name))
    name = CombinePath(DirectoryPart(parameters[0]), kDefaultConfigFile);
  return name;
}

void WriteHelp(ILauncherPlatform& platform) {
  std::u16string text;
  for (const char16_t* line : {resources::kHelpSwitches, resources::kHelpConfigFile, resources::kHelpHelp}) {
    text += line;
    text += u"\r\n";
  }
  text += u"\r\n";
  CheckInOut(platform.WriteStandardOutput(text));
  CheckInOut(platform.ReadStandardInputLine());
}

}  // namespace kelvane
