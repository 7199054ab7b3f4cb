#include "reporter/core/handling/HandlerLists.h"

namespace ruvex {

// One list per process, as the design has it: handlers are registered by
// code that knows nothing of the reporter object's life.
THandlerRegistry& ProcessHandlerRegistry() {
  static THandlerRegistry registry;
  return registry;
}

}  // namespace ruvex
