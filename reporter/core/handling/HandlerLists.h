#pragma once
// The process's handler lists: the application registers its handlers here
// (before or after the reporter started) and the handling thread fires them.
#include "reporter/core/extensions/HandlerRegistry.h"

namespace ruvex {

THandlerRegistry& ProcessHandlerRegistry();

}  // namespace ruvex
