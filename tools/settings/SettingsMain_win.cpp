// The tool's entry on Windows: wide arguments, passed on as UTF-8.
#include <string>
#include <vector>

#include "common/text/Utf.h"
#include "tools/settings/SettingsTool.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(kelvane::Utf16ToUtf8(reinterpret_cast<const char16_t*>(argv[i])));
  return RunSettingsTool(args);
}
