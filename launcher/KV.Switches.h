#pragma once
// The command line's switches: help, and where the configuration file is.
#include <string>

#include "launcher/platform/LauncherPlatform.h"

namespace kelvane {

// Whether a parameter is "/help" or "-help" (the word in any letter case).
bool HelpRequested(ILauncherPlatform& platform);

// The "configfile" switch's value as given; else parameter 1, found in the
// current directory or beside the executable; else "Kelvane.ini" beside the
// executable (which need not exist).
std::u16string LocateConfigFile(ILauncherPlatform& platform);

// Writes the switches and an empty line, then waits for one line of input.
// Raises EInOutError "I/O error <code>" when either stream fails.
void WriteHelp(ILauncherPlatform& platform);

}  // namespace kelvane
