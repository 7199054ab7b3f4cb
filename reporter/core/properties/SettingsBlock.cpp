#include "reporter/core/properties/SettingsBlock.h"

#include <cstring>

#include "common/bytes/ByteCursor.h"
#include "common/text/Utf.h"
#include "common/text/Windows1252.h"
#include "common/text/HexText.h"

namespace ruvex {

using kelvane::DecodeWindows1252;
using kelvane::EncodeWindows1252;
namespace {

constexpr char kSignature[] = "TPF0";
constexpr char kClassName[] = "TRuvexExcept";
constexpr char kObjectName[] = "RuvexExcept";

// Reads the block's values and length-prefixed strings through the
// bounds-checked cursor: a read past the end of the block fails.
class TBlockReader {
 public:
  explicit TBlockReader(std::string_view data) : cursor_(data) {}

  bool Byte(std::uint8_t& out) { return cursor_.Read(out); }
  bool Int(size_t width, std::int32_t& out) {
    std::string_view raw;
    if (width == 0 || width > 4 || !cursor_.Bytes(width, raw)) return false;
    std::uint32_t value = 0;
    for (size_t i = 0; i < width; ++i) value |= std::uint32_t(static_cast<std::uint8_t>(raw[i])) << (8 * i);
    // Sign-extend from the stored width.
    const unsigned shift = unsigned(32 - 8 * width);
    out = static_cast<std::int32_t>(value << shift) >> shift;
    return true;
  }
  bool Bytes(size_t count, std::string_view& out) { return cursor_.Bytes(count, out); }
  bool ShortString(std::string_view& out) {
    std::uint8_t length;
    return Byte(length) && Bytes(length, out);
  }
  bool LongLength(std::uint32_t& out) { return cursor_.Read(out); }

 private:
  kelvane::TByteCursor cursor_;
};

TREProperty Named(std::string_view name, TPropertyType typ) {
  TREProperty p;
  p.name = std::string(name);
  p.typ = typ;
  return p;
}

void SetString(TREProperty& p, std::u16string text) {
  if (!text.empty()) p.vStr = std::make_shared<const std::u16string>(std::move(text));
}

enum class TValueRead { ok, invalidType, truncated };

TValueRead ReadValue(TBlockReader& in, std::uint8_t type, TREProperty& p) {
  std::string_view raw;
  std::uint32_t length = 0;
  switch (type) {
    case 2: case 3: case 4: {
      p.typ = ptInteger;
      size_t width = type == 2 ? 1 : type == 3 ? 2 : 4;
      return in.Int(width, p.vInt) ? TValueRead::ok : TValueRead::truncated;
    }
    case 6:
      if (!in.ShortString(raw)) return TValueRead::truncated;
      SetString(p, DecodeWindows1252(raw));
      return TValueRead::ok;
    case 7:
      if (!in.ShortString(raw)) return TValueRead::truncated;
      SetString(p, kelvane::Utf8ToUtf16(raw));
      return TValueRead::ok;
    case 8: case 9:
      p.typ = ptBoolean;
      p.vBool = type == 9;
      return TValueRead::ok;
    case 12:
      if (!in.LongLength(length) || !in.Bytes(length, raw)) return TValueRead::truncated;
      SetString(p, DecodeWindows1252(raw));
      return TValueRead::ok;
    case 18:
      // Compare in code units so that a huge length cannot overflow.
      if (!in.LongLength(length) || length > 0x7FFFFFFFu / 2 || !in.Bytes(size_t(length) * 2, raw))
        return TValueRead::truncated;
      SetString(p, kelvane::Utf16FromBytes(raw, false));
      return TValueRead::ok;
    case 20:
      if (!in.LongLength(length) || !in.Bytes(length, raw)) return TValueRead::truncated;
      SetString(p, kelvane::Utf8ToUtf16(raw));
      return TValueRead::ok;
    default:
      return TValueRead::invalidType;
  }
}

bool HeaderMatches(TBlockReader& in) {
  std::string_view signature, className, objectName;
  return in.Bytes(4, signature) && signature == kSignature && in.ShortString(className) &&
         className == kClassName && in.ShortString(objectName) && objectName == kObjectName;
}

void AppendLE(std::string& out, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void AppendShort(std::string& out, std::string_view text) {
  out.push_back(static_cast<char>(text.size()));
  out.append(text);
}

void AppendInteger(std::string& out, std::int32_t v) {
  if (v >= -128 && v <= 127) {
    out.push_back(2);
    AppendLE(out, static_cast<std::uint32_t>(v), 1);
  } else if (v >= -32768 && v <= 32767) {
    out.push_back(3);
    AppendLE(out, static_cast<std::uint32_t>(v), 2);
  } else {
    out.push_back(4);
    AppendLE(out, static_cast<std::uint32_t>(v), 4);
  }
}

void AppendString(std::string& out, const std::u16string& text) {
  if (auto ansi = EncodeWindows1252(text)) {
    if (ansi->size() <= 255) {
      out.push_back(6);
      AppendShort(out, *ansi);
    } else {
      out.push_back(12);
      AppendLE(out, static_cast<std::uint32_t>(ansi->size()), 4);
      out.append(*ansi);
    }
    return;
  }
  out.push_back(18);
  AppendLE(out, static_cast<std::uint32_t>(text.size()), 4);
  for (char16_t c : text) AppendLE(out, c, 2);
}

}  // namespace

TSettingsBlockParse ParseSettingsBlock(std::string_view block) {
  TSettingsBlockParse result;
  TBlockReader in(block);
  if (!HeaderMatches(in)) return result;
  result.headerMatches = true;
  for (;;) {
    std::uint8_t nameLength;
    if (!in.Byte(nameLength)) {
      result.truncated = true;
      return result;
    }
    if (nameLength == 0) return result;
    std::string_view name;
    std::uint8_t type;
    if (!in.Bytes(nameLength, name) || !in.Byte(type)) {
      result.truncated = true;
      return result;
    }
    TREProperty p = Named(name, ptString);
    switch (ReadValue(in, type, p)) {
      case TValueRead::ok:
        result.properties.push_back(std::move(p));
        break;
      case TValueRead::invalidType:
        result.invalidType = type;
        return result;
      case TValueRead::truncated:
        result.truncated = true;
        return result;
    }
  }
}

std::u16string InvalidSettingsMessage(const TSettingsBlockParse& parse) {
  std::u16string what;
  if (parse.invalidType) {
    what = u"$" + kelvane::HexLower16(*parse.invalidType);
  } else {
    what = u"truncated";
  }
  return u"Internal error: Invalid settings resource (" + what + u").";
}

std::optional<std::string> WriteSettingsBlock(const std::vector<TREProperty>& properties) {
  std::string out(kSignature);
  AppendShort(out, kClassName);
  AppendShort(out, kObjectName);
  for (const auto& p : properties) {
    if (p.name.empty() || p.name.size() > 255) return std::nullopt;
    AppendShort(out, p.name);
    switch (p.typ) {
      case ptBoolean: out.push_back(p.vBool ? 9 : 8); break;
      case ptInteger: AppendInteger(out, p.vInt); break;
      case ptString: AppendString(out, p.Str()); break;
      case ptBinary: return std::nullopt;
    }
  }
  // End of the property list, then end of the (empty) list of children.
  out.push_back(0);
  out.push_back(0);
  return out;
}

}  // namespace ruvex
