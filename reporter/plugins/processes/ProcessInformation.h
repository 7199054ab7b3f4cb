#pragma once
// The system's process information (information class 5): the buffer
// sizing around the query, and the records read out of the filled buffer.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ruvex {

struct TQueryAttempt {
  bool ok = false;
  std::uint32_t needed = 0;  // the size the system asked for, 0 when it gave none
};
// One query into `buffer` as sized by the caller (empty asks for the size).
using TProcessInformationQuery = std::function<TQueryAttempt(std::vector<std::uint8_t>& buffer)>;

inline constexpr std::size_t kProcessQueryStart = 64 * 1024;
inline constexpr std::size_t kProcessQueryLimit = 4 * 1024 * 1024;

// Asks for the size and queries once with twice that; without a size,
// doubles from 64 KiB before each attempt up to 4 MiB. None when every
// attempt failed.
std::optional<std::vector<std::uint8_t>> QueryProcessInformation(const TProcessInformationQuery& query);

struct TProcessRecord {
  std::uint32_t processId = 0;
  std::uint32_t sessionId = 0;
  std::u16string imageName;  // empty for the idle process
};

// Reads the chained records of a filled buffer. `bufferAddress` is where
// the buffer lay when the system filled it (the names point into it) and
// `pointerSize` 4 or 8. Never reads outside the buffer: a record or name
// that does not fit ends the list or leaves the name empty.
std::vector<TProcessRecord> ParseProcessRecords(const std::vector<std::uint8_t>& buffer,
                                                std::uint64_t bufferAddress, unsigned pointerSize);

}  // namespace ruvex
