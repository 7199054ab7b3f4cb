#pragma once
// The restart hand-over block: a restarting instance leaves it under the
// name "RuvexExceptRestart$<pid of the new process>" for its successor,
// which waits for the predecessor to end and takes over its history of
// exception times.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ruvex {

struct TRestartHandover {
  std::uint32_t previousProcessId = 0;
  // A handle value in the new process's table (the block's own mapping,
  // duplicated by the predecessor so that the block outlives it).
  std::uint64_t handleToClose = 0;
  // Seconds since 1601-01-01 UTC of the ten most recent exceptions, newest first.
  std::array<std::uint64_t, 10> exceptionTimes{};
};

// Layout: process id (4 bytes), 4 zero bytes, handle (8), ten times (8 each).
inline constexpr std::size_t kRestartBlockSize = 96;

std::string EncodeRestartHandover(const TRestartHandover& handover);
// nullopt when the block is too small.
std::optional<TRestartHandover> DecodeRestartHandover(std::string_view block);

// Whether the successor `ownProcessId` should wait for the named predecessor:
// never for itself or for process id 0.
bool ShouldWaitForPredecessor(const TRestartHandover& handover, std::uint32_t ownProcessId);

}  // namespace ruvex
