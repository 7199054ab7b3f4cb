// The tool's entry off Windows: the arguments are UTF-8 already.
#include <string>
#include <vector>

#include "tools/settings/SettingsTool.h"

int main(int argc, char** argv) { return RunSettingsTool(std::vector<std::string>(argv + 1, argv + argc)); }
