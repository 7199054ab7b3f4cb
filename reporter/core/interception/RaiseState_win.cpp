#include "reporter/core/interception/RaiseState_win.h"

#include <cstring>

#include "reporter/core/interception/RuvexException.h"

namespace ruvex {
namespace {

struct TThreadRaise {
  const void* thrownObject = nullptr;
  TStackInformation record;
};

thread_local TThreadRaise tCurrentRaise;
thread_local const void* tRethrownObject = nullptr;

void Fill(TStackInformation& record, std::uintptr_t raiseAddress, const CONTEXT& context) {
  record.threadId = GetCurrentThreadId();
  record.raiseAddress = raiseAddress;
  static_assert(sizeof(CONTEXT) <= kContextRoom);
  std::memcpy(record.context.data(), &context, sizeof context);
  record.filled = true;
}

}  // namespace

void NoteRaise(void* thrownObject, std::type_info* type, std::uintptr_t raiseAddress, const CONTEXT& context) {
  tCurrentRaise.thrownObject = thrownObject;
  Fill(tCurrentRaise.record, raiseAddress, context);
  // The reporter's own exceptions carry the record with them, filled once.
  void* adjusted = thrownObject;
  if (type && typeid(RuvexException).__do_catch(type, &adjusted, 1)) {
    TStackInformation& attached = static_cast<RuvexException*>(adjusted)->AttachStackInformation();
    if (!attached.filled) Fill(attached, raiseAddress, context);
  }
}

// The runtime keeps the object as the pointer's only member.
const void* ThrownObjectOf(const std::exception_ptr& current) {
  static_assert(sizeof(std::exception_ptr) == sizeof(void*));
  const void* object = nullptr;
  std::memcpy(&object, &current, sizeof object);
  return object;
}

void NoteRethrow() { tRethrownObject = ThrownObjectOf(std::current_exception()); }

bool IsBeingRethrown(const std::exception_ptr& current) {
  return current && tRethrownObject && ThrownObjectOf(current) == tRethrownObject;
}

const TStackInformation* RaiseRecordOf(const void* thrownObject) {
  if (!thrownObject || tCurrentRaise.thrownObject != thrownObject || !tCurrentRaise.record.Usable()) return nullptr;
  return &tCurrentRaise.record;
}

}  // namespace ruvex
