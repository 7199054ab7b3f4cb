#include <windows.h>

#include "reporter/core/hooks/modules/Calibration_win.h"
#include "reporter/engines/memory/ProcessMemory.h"

namespace ruvex {
namespace {

// The data anchor: a variable of this module's data.
volatile int dataAnchor = 0;

}  // namespace

int CalibrateLoadedModules() {
  const std::unique_ptr<IMemoryPatcher> memory = CreateProcessMemoryPatcher();
  HMODULE library = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&CalibrateLoadedModules), &library);
  const TCalibrationAnchors anchors{reinterpret_cast<std::uintptr_t>(&CalibrateLoadedModules),
                                    reinterpret_cast<std::uintptr_t>(&dataAnchor)};
  return CalibrateModules(*memory, TProcessMemory().Modules(), reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr)),
                          reinterpret_cast<std::uintptr_t>(library), anchors);
}

}  // namespace ruvex
