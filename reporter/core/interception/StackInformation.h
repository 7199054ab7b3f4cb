#pragma once
// The stack-information record the raising notification attaches to an
// exception: where and in which thread it was raised, with the processor
// context of that moment. The tag tells the reporter's records from
// anything else a pointer may lead to; every use checks it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ruvex {

inline constexpr std::array<char, 8> kStackInformationTag{'R', 'v', 'x', 'S', 't', 'k', '0', '1'};
// Room for the processor context of a 64-bit thread (the larger one).
inline constexpr std::size_t kContextRoom = 1232;

struct TStackInformation {
  std::array<char, 8> tag = kStackInformationTag;
  std::uint32_t threadId = 0;
  bool filled = false;
  std::uintptr_t raiseAddress = 0;
  alignas(16) std::array<std::byte, kContextRoom> context{};

  bool IsOurs() const { return tag == kStackInformationTag; }
  bool Usable() const { return IsOurs() && filled; }
};

}  // namespace ruvex
