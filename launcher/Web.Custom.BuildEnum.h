#pragma once
// The Electron build values of the configuration's "ElectronBuild" key (its
// low-order 8 bits). Other values start nothing.
#include <cstdint>

namespace kelvane {

enum class ElectronBuild : std::uint8_t {
  Default = 0,  // "npm start"
  Start = 1,    // "npm start"
  Win32 = 2,    // "npm run-script run-win32"
  Win64 = 3,    // "npm run-script run-win64"
};

}  // namespace kelvane
