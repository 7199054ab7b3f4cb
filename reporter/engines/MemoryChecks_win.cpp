#include <windows.h>

#include "reporter/engines/MemoryChecks.h"

namespace ruvex {

std::uint32_t TickCount() { return GetTickCount(); }

}  // namespace ruvex
