#pragma once
// Replacing a function's first bytes with a jump to another one, after the
// function analysis has said that those bytes may be overwritten.
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

}  // namespace ruvex
