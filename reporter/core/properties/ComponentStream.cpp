#include "reporter/core/properties/ComponentStream.h"

#include "common/text/Format.h"
#include "common/text/Utf.h"
#include "common/text/Windows1252.h"

namespace ruvex {

std::u16string TStreamValue::Text() const {
  switch (kind) {
    case svInteger: return kelvane::DecimalText(integer);
    case svBoolean: return boolean ? u"1" : u"0";
    case svString: break;
  }
  return text;
}

bool TComponentStreamReader::Int(std::size_t width, std::int32_t& out) {
  std::string_view raw;
  if (width == 0 || width > 4 || !cursor_.Bytes(width, raw)) return false;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value |= std::uint32_t(static_cast<std::uint8_t>(raw[i])) << (8 * i);
  // Sign-extend from the stored width.
  const unsigned shift = unsigned(32 - 8 * width);
  out = static_cast<std::int32_t>(value << shift) >> shift;
  return true;
}

TValueRead TComponentStreamReader::Value(std::uint8_t type, TStreamValue& out) {
  std::string_view raw;
  std::uint32_t length = 0;
  out = TStreamValue{};
  switch (type) {
    case 2: case 3: case 4: {
      out.kind = TStreamValue::svInteger;
      const std::size_t width = type == 2 ? 1 : type == 3 ? 2 : 4;
      return Int(width, out.integer) ? TValueRead::ok : TValueRead::truncated;
    }
    case 6:
      if (!ShortString(raw)) return TValueRead::truncated;
      out.text = kelvane::DecodeWindows1252(raw);
      return TValueRead::ok;
    case 7:
      if (!ShortString(raw)) return TValueRead::truncated;
      out.text = kelvane::Utf8ToUtf16(raw);
      return TValueRead::ok;
    case 8: case 9:
      out.kind = TStreamValue::svBoolean;
      out.boolean = type == 9;
      return TValueRead::ok;
    case 12:
      if (!LongLength(length) || !Bytes(length, raw)) return TValueRead::truncated;
      out.text = kelvane::DecodeWindows1252(raw);
      return TValueRead::ok;
    case 18:
      // Compare in code units so that a huge length cannot overflow.
      if (!LongLength(length) || length > 0x7FFFFFFFu / 2 || !Bytes(std::size_t(length) * 2, raw))
        return TValueRead::truncated;
      out.text = kelvane::Utf16FromBytes(raw, false);
      return TValueRead::ok;
    case 20:
      if (!LongLength(length) || !Bytes(length, raw)) return TValueRead::truncated;
      out.text = kelvane::Utf8ToUtf16(raw);
      return TValueRead::ok;
    default:
      return TValueRead::invalidType;
  }
}

}  // namespace ruvex
