#pragma once
// The restart hand-over block under the real API: written by a restarting
// instance for the process it started, read at every start.
#include <windows.h>

#include <optional>

#include "reporter/core/startup/RestartHandover.h"
#include "reporter/engines/system/os/NamedObjects_win.h"

namespace ruvex {

// At most this long a started process waits for its predecessor to end.
inline constexpr DWORD kPredecessorWaitMs = 30000;

// Leaves the block for the started (still suspended or not yet started up)
// process `child`. The returned mapping must stay open until the child has
// taken over, which is at latest when this process ends.
// `predecessorId` is the process the child waits for (0: this one).
TWinHandle OfferRestartHandover(HANDLE child, DWORD childProcessId,
                                const std::array<std::uint64_t, 10>& exceptionTimes, DWORD predecessorId = 0);

// The check at start: when a block for this process exists and is sound,
// closes the handle it names (only when it is the block's own mapping),
// waits (bounded) for the predecessor to end and returns the hand-over; a
// predecessor that can no longer be opened has ended. nullopt when there is
// no block or it is ignored.
std::optional<TRestartHandover> TakeOverRestart(DWORD waitMs = kPredecessorWaitMs);

}  // namespace ruvex
