#pragma once
// The compact symbol format: the tables of a TMapFile, compressed and
// enciphered, kept in a module's "RUVEX"/"EXCEPT" resource or in a sibling
// ".ruvex" file. Addresses are stored relative to the module's base of code.
//
// Header (little-endian): a 14-character signature, the payload length, the
// version (2 or 3); version 3 adds the DOS date and time of creation, the
// CRC-32 of the uncompressed stream and flags (bit 0: minimal form, names
// kept in a separate file). The payload is a compressed block, enciphered.
// Names are packed strings of at most 255 bytes; a public name beyond that
// is kept whole in a block behind the line table and shortened in its
// packed string, so that readers without the block still show its start.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "reporter/engines/symbols/mapfile/MapFile.h"

namespace ruvex {

inline constexpr std::string_view kCompactSignature = "RUVEX-SYMBOLS1";
constexpr std::uint32_t kCompactFlagMinimal = 1;
// Larger payloads or streams are refused rather than allocated.
constexpr std::uint32_t kMaxCompactPayload = 64u << 20;
constexpr std::uint64_t kMaxCompactStream = 256u << 20;

struct TCompactHeader {
  std::uint32_t payloadLength = 0;
  std::uint32_t version = 0;
  std::uint16_t dosDate = 0, dosTime = 0;
  std::uint32_t crc = 0;
  std::uint32_t flags = 0;
  std::size_t payloadOffset = 0;

  bool Minimal() const { return (flags & kCompactFlagMinimal) != 0; }
};

// The header, when the signature, version and lengths are sound.
std::optional<TCompactHeader> ReadCompactHeader(std::string_view data);

// "$xxxxxxxx, $xxxxxxxx, $xxxxxxxx": the data size and the 32 bits at
// offsets 22 and 26. Empty when the data is too short to have them.
std::string CompactFingerprint(std::string_view data);

// Adds the tables of `data` to `map`, at map.BaseOfCode(). When `expected`
// is not empty the data's fingerprint must equal it. On any fault nothing
// is added and the result is false.
bool ParseCompactSymbols(std::string_view data, TMapFile& map, std::string_view expected = {},
                         TCompactHeader* header = nullptr);

// The payload cipher key for a payload of `length` bytes.
std::string CompactKey(std::uint32_t length);

struct TCompactWriteOptions {
  std::uint32_t version = 3;
  bool minimal = false;  // no names; line presence per segment
  std::uint16_t dosDate = 0, dosTime = 0;
};

// The compact data of the code tables of `map`, addresses relative to
// map.BaseOfCode(); the entry point is stored when it is known.
std::string WriteCompactSymbols(const TMapFile& map, const TCompactWriteOptions& options = {});

}  // namespace ruvex
