#pragma once
// Replacing a function's first bytes with a jump to another one, after the
// function analysis has said that those bytes may be overwritten.
#include <optional>

#include "reporter/core/hooks/patches/PatchList.h"

namespace ruvex {

constexpr std::size_t kRel32JumpSize = 5;
constexpr std::size_t kAbsoluteJumpSize = 14;

// A jump from `from` to `to`: "jmp rel32" when the distance fits in 32 bits
// (always in 32-bit code), else, in 64-bit code, "jmp [rip+0]" followed by
// the 8-byte target.
TBytes JumpBytes(Address from, Address to, bool code64);

// Whether the first `length` bytes of the function at `entry` can be
// replaced: in 32-bit code the function analysis must call it
// interceptable; in 64-bit code, where that analysis does not run, the
// bytes must decode as whole instructions and the function must not end
// (return, jump, padding) before `length` bytes.
bool CanRedirect(const IMemoryReader& memory, Address entry, std::size_t length, bool code64);

// Redirects the function at `from` to `to` through the patch list; failed
// when the function cannot be intercepted or its page not written.
TPatchResult RedirectFunction(TPatchList& patches, const IMemoryReader& memory, Address from, Address to,
                              bool code64);

// The bytes that run the function's first instructions elsewhere: whole
// instructions covering at least `length` bytes at `entry`, then a jump back
// to the instruction after them, for a stub placed at `stub`. None when an
// instruction there cannot run from another place (a relative branch or a
// RIP-relative operand) or does not decode.
std::optional<TBytes> TrampolineBytes(const IMemoryReader& memory, Address entry, std::size_t length, Address stub,
                                      bool code64);

// What hooking a function takes: a code block near the function holding a
// relay (an absolute jump to the hook, for hooks out of a 5-byte jump's
// reach) and the original's stub (its moved first instructions and a jump
// back), and the jump the function's entry gets.
struct THookStub {
  Address block = 0;     // AllocateCode; the caller owns it (FreeCode)
  Address original = 0;  // calls the original function
  TBytes entryJump;      // to write at the function's entry
};

// The stub for redirecting the function at `from` to `to`; none when the
// function cannot be hooked.
std::optional<THookStub> BuildHookStub(IMemoryPatcher& memory, Address from, Address to, bool code64);

// Redirects the function at `from` to `to` and returns the address that
// calls the original; 0 when the function cannot be hooked. The block is
// the patch's extra buffer. Hooks that come and go build their stub once
// instead and keep it: a thread may still be running through it when the
// patch is taken back.
Address HookFunction(TPatchList& patches, IMemoryPatcher& memory, Address from, Address to, bool code64);

}  // namespace ruvex
