// Off Windows there is no debug-help library: program databases are not read.
#include "reporter/engines/symbols/sources/DebugHelp.h"

namespace ruvex {

std::unique_ptr<IDebugHelp> SystemDebugHelp() { return nullptr; }

}  // namespace ruvex
