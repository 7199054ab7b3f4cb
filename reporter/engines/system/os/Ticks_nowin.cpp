#include <chrono>

#include "reporter/engines/system/os/Ticks.h"

namespace ruvex {

std::uint32_t TickCount() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

}  // namespace ruvex
