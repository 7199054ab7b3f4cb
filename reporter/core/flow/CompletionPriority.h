#pragma once
// The completion thread runs above normal priority, so that a busy program
// does not hold up its report.
namespace ruvex {

void RaiseCompletionThreadPriority();

}  // namespace ruvex
