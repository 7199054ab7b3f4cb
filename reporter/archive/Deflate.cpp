#include "reporter/archive/Deflate.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <new>

namespace ruvex {
namespace {

// zlib counts in uInt (32 bits even on 64-bit Windows): larger inputs go in
// slices, which leaves the stream as one-shot compression would write it.
constexpr std::size_t kSlice = std::numeric_limits<uInt>::max() / 2;

uInt SliceOf(std::size_t remaining) {
  return static_cast<uInt>(std::min(remaining, kSlice));
}


struct InflateStream {
  z_stream z{};
  bool open = false;
  ~InflateStream() {
    if (open) inflateEnd(&z);
  }
};

}  // namespace

struct TRawDeflater::TState {
  z_stream z{};
  bool open = false;
  ~TState() {
    if (open) deflateEnd(&z);
  }
};

TRawDeflater::TRawDeflater(int level) : state_(std::make_unique<TState>()) {
  state_->open = deflateInit2(&state_->z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
}

TRawDeflater::~TRawDeflater() = default;

std::optional<std::string> DeflateRaw(std::string_view data, int level) {
  try {
    return TRawDeflater(level).Deflate(data);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<std::string> TRawDeflater::Deflate(std::string_view data, std::size_t headroom) {
  try {
    TState& s = *state_;
    if (!s.open || deflateReset(&s.z) != Z_OK) return std::nullopt;
    // deflateBound counts in uLong, 32 bits on Windows: take the bound of
    // the stored-block worst case ourselves, in 64 bits.
    const std::uint64_t bound = static_cast<std::uint64_t>(data.size()) +
                                (data.size() >> 12) + (data.size() >> 14) + (data.size() >> 25) + 64;
    if (bound > std::numeric_limits<std::size_t>::max() / 2) return std::nullopt;
    std::string out(static_cast<std::size_t>(bound) + headroom, '\0');
    std::size_t inPos = 0, outPos = headroom;
    for (;;) {
      s.z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + inPos));
      s.z.avail_in = SliceOf(data.size() - inPos);
      s.z.next_out = reinterpret_cast<Bytef*>(out.data() + outPos);
      s.z.avail_out = SliceOf(out.size() - outPos);
      const bool last = data.size() - inPos <= kSlice;
      const uInt inBefore = s.z.avail_in, outBefore = s.z.avail_out;
      const int rc = deflate(&s.z, last ? Z_FINISH : Z_NO_FLUSH);
      inPos += inBefore - s.z.avail_in;
      outPos += outBefore - s.z.avail_out;
      if (rc == Z_STREAM_END) break;
      if (rc != Z_OK && rc != Z_BUF_ERROR) return std::nullopt;
      if (outPos == out.size()) return std::nullopt;  // the bound was wrong: never write past it
    }
    out.resize(outPos);
    return out;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<std::string> InflateRaw(std::string_view stream, std::uint64_t expectedSize) {
  if (expectedSize > std::numeric_limits<std::size_t>::max() / 2) return std::nullopt;
  try {
    InflateStream s;
    if (inflateInit2(&s.z, -15) != Z_OK) return std::nullopt;
    s.open = true;
    // One spare byte shows a stream that would run past the expected size.
    std::string out(static_cast<std::size_t>(expectedSize) + 1, '\0');
    std::size_t inPos = 0, outPos = 0;
    for (;;) {
      s.z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data() + inPos));
      s.z.avail_in = SliceOf(stream.size() - inPos);
      s.z.next_out = reinterpret_cast<Bytef*>(out.data() + outPos);
      s.z.avail_out = SliceOf(out.size() - outPos);
      const uInt inBefore = s.z.avail_in, outBefore = s.z.avail_out;
      const int rc = inflate(&s.z, Z_NO_FLUSH);
      inPos += inBefore - s.z.avail_in;
      outPos += outBefore - s.z.avail_out;
      if (outPos > expectedSize) return std::nullopt;
      if (rc == Z_STREAM_END) break;
      if (rc != Z_OK) return std::nullopt;
      if (inPos == stream.size() && s.z.avail_out != 0) return std::nullopt;  // truncated
    }
    if (outPos != expectedSize) return std::nullopt;
    out.resize(outPos);
    return out;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::uint32_t Adler32Of(std::string_view data) {
  uLong a = adler32(0L, Z_NULL, 0);
  std::size_t pos = 0;
  while (pos < data.size()) {
    const uInt n = SliceOf(data.size() - pos);
    a = adler32(a, reinterpret_cast<const Bytef*>(data.data() + pos), n);
    pos += n;
  }
  return static_cast<std::uint32_t>(a);
}

}  // namespace ruvex
