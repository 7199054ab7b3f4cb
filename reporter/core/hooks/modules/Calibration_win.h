#pragma once
// Module calibration of the running process (Windows): the executable, the
// module of this code and the loaded ".bpl" modules. Its anchors are this
// function (code) and a variable beside it (data).
#include "reporter/core/hooks/modules/Calibration.h"

namespace ruvex {

int CalibrateLoadedModules();

}  // namespace ruvex
