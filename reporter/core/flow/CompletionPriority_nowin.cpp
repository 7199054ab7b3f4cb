#include "reporter/core/flow/CompletionPriority.h"

namespace ruvex {

// Raising a thread's priority needs privileges here; the order of work
// stays the same without it.
void RaiseCompletionThreadPriority() {}

}  // namespace ruvex
