#pragma once
// Program parameters, split from the command line the way the launcher has
// always split it: blanks separate, double quotes group and are dropped,
// there is no escape character.
#include <string>
#include <string_view>
#include <vector>

#include "launcher/platform/LauncherPlatform.h"

namespace kelvane {

// Every parameter of the command line, the program's own name first.
// Characters 1 to 32 separate; a double quote opens and closes a stretch in
// which blanks do not separate; pairs of quotes at the start of a parameter
// are skipped, so an empty quoted parameter vanishes.
std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine);

// Parameter 0 is the executable's full path; 1 to N come from the command
// line after the program's own name.
std::vector<std::u16string> ProgramParameters(ILauncherPlatform& platform);

}  // namespace kelvane
