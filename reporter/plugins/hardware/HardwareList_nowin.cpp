#include "reporter/plugins/hardware/HardwareList.h"

namespace ruvex {

// Off Windows there are no setup functions to ask.
std::u16string HardwareListPlugin() { return {}; }

}  // namespace ruvex
