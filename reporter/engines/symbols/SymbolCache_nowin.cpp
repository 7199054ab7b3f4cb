// Off Windows there is no running process to describe.
#include "reporter/engines/symbols/SymbolCache.h"

namespace ruvex {

std::unique_ptr<ISymbolHost> CreateProcessSymbolHost() { return nullptr; }

}  // namespace ruvex
