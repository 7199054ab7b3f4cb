#pragma once
// The message and class of an operating-system exception as the reporter
// shows it, chosen by the exception code.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ruvex {

inline constexpr std::uint32_t kAccessViolation = 0xC0000005;

// What is known of an access violation's place. `moduleName` is set only
// when the faulting address lies in a committed, accessible region of a
// module (the file name without folder).
struct TAccessFacts {
  std::optional<std::u16string> moduleName;
  std::uintptr_t faultAddress = 0;
  bool write = false;  // the access was not a read
  std::uintptr_t accessedAddress = 0;
};

std::u16string SystemExceptionMessage(std::uint32_t code, const TAccessFacts& access = {});

// The class first, then its ancestors.
std::vector<std::u16string> SystemExceptionClassChain(std::uint32_t code);

}  // namespace ruvex
