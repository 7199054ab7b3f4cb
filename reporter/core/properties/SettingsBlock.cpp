#include "reporter/core/properties/SettingsBlock.h"

#include <cstring>

#include "reporter/core/properties/ComponentStream.h"
#include "common/text/Windows1252.h"
#include "common/text/HexText.h"

namespace ruvex {

using kelvane::EncodeWindows1252;
namespace {

constexpr char kClassName[] = "TRuvexExcept";
constexpr char kObjectName[] = "RuvexExcept";

TREProperty Named(std::string_view name, TPropertyType typ) {
  TREProperty p;
  p.name = std::string(name);
  p.typ = typ;
  return p;
}

void TakeValue(TStreamValue value, TREProperty& p) {
  switch (value.kind) {
    case TStreamValue::svInteger:
      p.typ = ptInteger;
      p.vInt = value.integer;
      break;
    case TStreamValue::svBoolean:
      p.typ = ptBoolean;
      p.vBool = value.boolean;
      break;
    case TStreamValue::svString:
      if (!value.text.empty()) p.vStr = std::make_shared<const std::u16string>(std::move(value.text));
      break;
  }
}

bool HeaderMatches(TComponentStreamReader& in) {
  std::string_view className, objectName;
  return in.Signature() && in.ShortString(className) && className == kClassName &&
         in.ShortString(objectName) && objectName == kObjectName;
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
  TComponentStreamReader in(block);
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
    TStreamValue value;
    switch (in.Value(type, value)) {
      case TValueRead::ok:
        TakeValue(std::move(value), p);
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
  std::string out(kComponentStreamSignature);
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
