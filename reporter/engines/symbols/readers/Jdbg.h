#pragma once
// The binary debug file of the JEDI Code Library (".jdbg"): a 34-byte
// header ("JDBG", version 1, offsets of the unit, source-name, symbol,
// line-number and word streams, the module name, a checksum and whether it
// is valid) and delta-coded streams of 7-bit groups.
#include <string>
#include <string_view>

#include "reporter/engines/symbols/mapfile/MapFile.h"

namespace ruvex {

constexpr std::size_t kJdbgHeaderSize = 34;

// Adds source files as code segments, symbols as code publics and line
// records, at map.BaseOfCode(); nothing is added when the file is unsound.
bool ParseJdbg(std::string_view data, TMapFile& map);

// A name of the word stream: 6-bit packed, or after a leading 1 byte
// scrambled with 0xAA. `offset` is relative to the word stream.
std::string JdbgName(std::string_view words, std::size_t offset);

}  // namespace ruvex
