#include "reporter/plugins/modules/ModuleList.h"

namespace ruvex {

// Off Windows there is no process of modules to describe.
std::u16string ModuleListPlugin() { return {}; }

}  // namespace ruvex
