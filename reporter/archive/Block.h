#pragma once
// Compressed blocks: compressed data kept in memory or in resources. A block
// is the 64-bit little-endian uncompressed size, the CRC-32 of the
// uncompressed data (32-bit little-endian), then a raw deflate stream.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ruvex {

constexpr std::size_t kBlockHeaderSize = 12;

// Deflate never expands data by more than this factor; a recorded size that
// needs more is a forgery and is refused before any memory is reserved.
constexpr std::uint64_t kMaxInflateRatio = 1032;

// The block of data; empty when compression failed or, with
// keepOnlyIfSmaller, when the block would not be shorter than the data.
std::string PackBlock(std::string_view data, bool keepOnlyIfSmaller);

// The data of a block; nullopt for a block of 12 bytes or less, a recorded
// size the stream cannot hold, a stream that does not end exactly at the
// recorded size, or a CRC-32 that differs.
std::optional<std::string> TryUnpackBlock(std::string_view block);

// As TryUnpackBlock, with an empty result for every failure.
std::string UnpackBlock(std::string_view block);

}  // namespace ruvex
