#pragma once
// The binary component stream shared by the settings block and the
// assistant forms: "TPF0", then objects of length-prefixed names and typed
// values. This reader knows the value encodings; what an object means is
// left to its users.
#include <cstdint>
#include <string>
#include <string_view>

#include "common/bytes/ByteCursor.h"

namespace ruvex {

inline constexpr char kComponentStreamSignature[] = "TPF0";

struct TStreamValue {
  enum TKind { svInteger, svBoolean, svString };
  TKind kind = svString;
  std::int32_t integer = 0;
  bool boolean = false;
  std::u16string text;

  // Integers in decimal, false "0", true "1", strings as they are.
  std::u16string Text() const;
};

enum class TValueRead { ok, invalidType, truncated };

// Every read is bounds-checked: a length past the end of the stream fails.
class TComponentStreamReader {
 public:
  explicit TComponentStreamReader(std::string_view data) : cursor_(data) {}

  bool Byte(std::uint8_t& out) { return cursor_.Read(out); }
  // The next byte without taking it.
  bool Peek(std::uint8_t& out) {
    const std::size_t at = cursor_.Position();
    return cursor_.Read(out) && cursor_.Seek(at);
  }
  bool Bytes(std::size_t count, std::string_view& out) { return cursor_.Bytes(count, out); }
  bool ShortString(std::string_view& out) {
    std::uint8_t length;
    return Byte(length) && Bytes(length, out);
  }
  bool Signature() {
    std::string_view raw;
    return Bytes(4, raw) && raw == kComponentStreamSignature;
  }
  // Reads the value of one property whose type byte was `type`.
  TValueRead Value(std::uint8_t type, TStreamValue& out);

 private:
  bool Int(std::size_t width, std::int32_t& out);
  bool LongLength(std::uint32_t& out) { return cursor_.Read(out); }

  kelvane::TByteCursor cursor_;
};

}  // namespace ruvex
