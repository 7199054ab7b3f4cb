#pragma once
// The browser choices. The numbers are those of the configuration's
// "Browser" key and of the debug manager's "/browser:" argument; values 9 to
// 255 are kept as they are and behave like None at launch.
#include <cstdint>

namespace kelvane {

enum class BrowserKind : std::uint8_t {
  None = 0,              // the shell's "open"
  Default = 1,           // the user's default browser
  All = 2,               // every browser from Chrome to FirefoxDeveloper in turn
  Chrome = 3,
  Firefox = 4,           // not the Developer Edition
  Edge = 5,
  InternetExplorer = 6,
  Opera = 7,
  FirefoxDeveloper = 8,
};

inline constexpr int BrowserNumber(BrowserKind kind) { return static_cast<int>(kind); }

}  // namespace kelvane
