#pragma once
// Raw deflate streams (no zlib header or trailer, 32 KiB window) through zlib.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ruvex {

// zlib's fast strategy: greedy matching, 15-bit hash, 16,384-entry literal
// buffer. Every reader accepts any valid raw deflate stream.
constexpr int kDeflateLevel = 2;

// The raw deflate stream of data; nullopt when zlib fails or memory runs out.
std::optional<std::string> DeflateRaw(std::string_view data, int level = kDeflateLevel);

// Compresses many inputs one after the other with one set of zlib tables,
// for archives of many small files. Each result is a complete raw stream.
class TRawDeflater {
 public:
  explicit TRawDeflater(int level = kDeflateLevel);
  ~TRawDeflater();
  TRawDeflater(const TRawDeflater&) = delete;
  TRawDeflater& operator=(const TRawDeflater&) = delete;
  // headroom zero bytes come first, room for a caller's header.
  std::optional<std::string> Deflate(std::string_view data, std::size_t headroom = 0);

 private:
  struct TState;
  std::unique_ptr<TState> state_;
};

// Inflates a raw deflate stream that must produce exactly expectedSize bytes
// and end there; nullopt for a damaged, short or longer stream.
std::optional<std::string> InflateRaw(std::string_view stream, std::uint64_t expectedSize);

// Adler-32 of data, as the zlib stream trailer in PNG carries it.
std::uint32_t Adler32Of(std::string_view data);

}  // namespace ruvex
