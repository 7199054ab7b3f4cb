#pragma once
// Raw resource data of a PE image, found through its resource directory
// (type, then name, then the first language).
#include <cstdint>
#include <optional>
#include <string>

#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

// A resource type or name: a number, a text (compared without regard to
// ASCII case, as the system does), or any (the first entry at that level).
struct TResourceId {
  enum class Kind { Number, Text, Any } kind = Kind::Any;
  std::uint16_t number = 0;
  std::u16string text;

  static TResourceId Of(std::uint16_t n) { return {Kind::Number, n, {}}; }
  static TResourceId Of(std::u16string t) { return {Kind::Text, 0, std::move(t)}; }
  static TResourceId First() { return {}; }
};

constexpr std::uint16_t kResourceTypeRcData = 10;
constexpr std::uint16_t kResourceTypeVersion = 16;

// The bytes of the resource, empty when it is missing or unreadable. Of
// several languages the first found of: `language` (when not 0), the
// language-neutral one, one of the same primary language, the first.
std::string ResourceBytes(const IMemoryReader& memory, Address module, const TResourceId& type,
                          const TResourceId& name, std::uint16_t language = 0);

}  // namespace ruvex
