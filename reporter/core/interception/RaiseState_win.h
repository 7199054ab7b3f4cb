#pragma once
// Per thread, the C++ exception most recently raised: the thrown object and
// where it was raised, as the raising notification records it.
#include <windows.h>

#include <exception>
#include <typeinfo>

#include "reporter/core/interception/StackInformation.h"

namespace ruvex {

// Called by the raising notification before the runtime throws.
void NoteRaise(void* thrownObject, std::type_info* type, std::uintptr_t raiseAddress, const CONTEXT& context);

// Called before the runtime rethrows the exception being handled. A
// rethrow nobody catches ends in abort, not in terminate, and this is how
// the abort signal knows it as an uncaught exception.
void NoteRethrow();
bool IsBeingRethrown(const std::exception_ptr& current);

// The thrown object an exception pointer refers to.
const void* ThrownObjectOf(const std::exception_ptr& current);

// This thread's record for `thrownObject`; null when the object was not
// raised through the notification in this thread.
const TStackInformation* RaiseRecordOf(const void* thrownObject);

}  // namespace ruvex
