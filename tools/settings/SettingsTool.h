#pragma once
// ruvex-settings: the commands, given the arguments after the program name.
#include <string>
#include <vector>

// The exit code: 0 on success, 1 with a message on standard error.
int RunSettingsTool(const std::vector<std::string>& args);
