#pragma once
// The file integrity check. A module that carries the reporter holds a
// slot: a 16-byte tag, then a 32-bit checksum. After the build,
// "ruvex-settings crc <file>" writes into the slot the CRC-32 of the file
// computed with
//   - the slot's checksum bytes as zeros,
//   - the certificate table (security directory) and its directory entry
//     left out, so that signing the file afterwards keeps it valid.
// At start the reporter computes the same over the module file and compares.
// A file without a slot, or whose slot was never written (0), is not
// checked: an unstamped build is not a corrupted one.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ruvex {

enum class TFileCrcState { notStamped, matches, mismatch };

struct TFileCrcResult {
  TFileCrcState state = TFileCrcState::notStamped;
  std::uint32_t stored = 0;
  std::uint32_t computed = 0;
};

// The slot's tag (16 bytes), read from this module's own slot.
std::string FileCrcSlotTag();

// The offset of the slot's checksum in `file`; none when the tag is missing
// or found more than once (a slot that cannot be told apart).
std::optional<std::size_t> FindFileCrcSlot(std::string_view file);

// The checksum as described above; `slot` from FindFileCrcSlot.
std::uint32_t ComputeFileCrc(std::string_view file, std::size_t slot);

TFileCrcResult CheckFileCrc(std::string_view file);

// The file with its checksum written; none, with `error` set, when it has
// no slot.
std::optional<std::string> StampFileCrc(std::string file, std::string& error);

}  // namespace ruvex
