// The raising notification: the linker routes every C++ throw of the
// program through here (--wrap=__cxa_throw), so that reports show where an
// exception was raised; its rethrows (--wrap=__cxa_rethrow), since one that
// nobody catches ends in abort; and the runtime's pure-call entry
// (--wrap=__cxa_pure_virtual), which the runtime would otherwise take
// straight to termination without a word of its cause.
#include <windows.h>

#include <cxxabi.h>

#include "reporter/core/interception/Interception_win.h"
#include "reporter/core/interception/RaiseState_win.h"

extern "C" {

[[noreturn]] void __real___cxa_throw(void* thrown, std::type_info* type, void(_GLIBCXX_CDTOR_CALLABI* destroy)(void*));

[[noreturn]] void __wrap___cxa_throw(void* thrown, std::type_info* type, void(_GLIBCXX_CDTOR_CALLABI* destroy)(void*)) {
  // A passive reporter records nothing.
  if (!ruvex::TInterception::Active()) __real___cxa_throw(thrown, type, destroy);
  CONTEXT context{};
  RtlCaptureContext(&context);
  // The call's last byte lies inside the throwing function even when the
  // call is that function's last instruction.
  const auto raiseAddress = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)) - 1;
#ifdef _WIN64
  context.Rip = raiseAddress;
#else
  context.Eip = static_cast<DWORD>(raiseAddress);
#endif
  ruvex::NoteRaise(thrown, type, raiseAddress, context);
  __real___cxa_throw(thrown, type, destroy);
}

[[noreturn]] void __real___cxa_rethrow();

[[noreturn]] void __wrap___cxa_rethrow() {
  if (ruvex::TInterception::Active()) ruvex::NoteRethrow();
  __real___cxa_rethrow();
}

[[noreturn]] void __real___cxa_pure_virtual();

[[noreturn]] void __wrap___cxa_pure_virtual() {
  ruvex::ReportPureCall(reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)) - 1);
  __real___cxa_pure_virtual();
}

}  // extern "C"
