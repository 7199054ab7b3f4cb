#include <windows.h>

#include "reporter/engines/system/os/Ticks.h"

namespace ruvex {

std::uint32_t TickCount() { return GetTickCount(); }

}  // namespace ruvex
