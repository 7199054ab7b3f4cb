#pragma once
// The stack tracer of the running process (Windows): one for the process,
// so its module and function caches and its trace lock are shared by every
// trace and live until the process ends.
#include "reporter/engines/trace/tracer/StackTrace.h"

namespace ruvex {

// The host over the running process.
std::unique_ptr<ITraceHost> CreateProcessTraceHost();

TStackTracer& ProcessStackTracer();

// A trace of the calling thread from its current place: the defaults of
// TraceStack (stack pointer, stack base, the caller's own address) filled in
// here, where they are known.
std::u16string TraceCurrentStack(TTraceRequest request);

}  // namespace ruvex
