// Off Windows there is no running process to describe.
#include "reporter/engines/symbols/sources/SymbolCache.h"

namespace ruvex {

std::unique_ptr<ISymbolHost> CreateProcessSymbolHost() { return nullptr; }

}  // namespace ruvex
