#include <windows.h>

#include "reporter/core/flow/CompletionPriority.h"

namespace ruvex {

void RaiseCompletionThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL); }

}  // namespace ruvex
