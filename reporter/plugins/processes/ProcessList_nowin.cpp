#include "reporter/plugins/processes/ProcessList.h"

namespace ruvex {

// Off Windows there is no process list to describe.
std::u16string ProcessListPlugin() { return {}; }

}  // namespace ruvex
