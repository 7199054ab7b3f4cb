#include "reporter/ui/assistant/FormWindow.h"

namespace ruvex {

std::unique_ptr<IFormWindows> CreateFormWindows() { return nullptr; }

}  // namespace ruvex
