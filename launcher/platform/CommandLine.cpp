#include "launcher/platform/CommandLine.h"

namespace kelvane {
namespace {

bool IsSeparator(char16_t c) { return c >= 1 && c <= 32; }

// Skips blanks and leading pairs of quotes; returns the start of the next
// parameter, or the end.
size_t SkipToParameter(std::u16string_view text, size_t i) {
  for (;;) {
    while (i < text.size() && IsSeparator(text[i])) ++i;
    if (i + 1 < text.size() && text[i] == u'"' && text[i + 1] == u'"') {
      i += 2;
    } else {
      return i;
    }
  }
}

}  // namespace

std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine) {
  // A NUL ends the text, as it does for the system's own string.
  if (const size_t nul = commandLine.find(u'\0'); nul != std::u16string_view::npos)
    commandLine = commandLine.substr(0, nul);

  std::vector<std::u16string> parameters;
  size_t i = SkipToParameter(commandLine, 0);
  while (i < commandLine.size()) {
    std::u16string parameter;
    while (i < commandLine.size() && !IsSeparator(commandLine[i])) {
      if (commandLine[i] == u'"') {
        ++i;
        while (i < commandLine.size() && commandLine[i] != u'"') parameter.push_back(commandLine[i++]);
        if (i < commandLine.size()) ++i;  // the closing quote
      } else {
        parameter.push_back(commandLine[i++]);
      }
    }
    parameters.push_back(std::move(parameter));
    i = SkipToParameter(commandLine, i);
  }
  return parameters;
}

std::vector<std::u16string> ProgramParameters(ILauncherPlatform& platform) {
  std::vector<std::u16string> parameters = SplitCommandLine(platform.CommandLine());
  if (parameters.empty()) parameters.emplace_back();
  parameters.front() = platform.ModuleFileName();
  return parameters;
}

}  // namespace kelvane
