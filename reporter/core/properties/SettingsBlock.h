#pragma once
// The settings block: a component stream ("TPF0", class "TRuvexExcept",
// object "RuvexExcept", then named values) embedded as an RCDATA resource.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reporter/core/properties/Properties.h"

namespace ruvex {

inline constexpr char kSettingsResourceName[] = "TRUVEXEXCEPT";

struct TSettingsBlockParse {
  bool headerMatches = false;            // false: the block is ignored as a whole
  std::vector<TREProperty> properties;   // in block order, duplicates kept
  std::optional<std::uint8_t> invalidType;  // the value type that stopped the parse
  bool truncated = false;                // a length ran past the end of the block
  bool Stopped() const { return invalidType.has_value() || truncated; }
};

// Never reads outside `block`; what was read before a fault is kept.
TSettingsBlockParse ParseSettingsBlock(std::string_view block);

// The text of the box shown when a parse stops early.
std::u16string InvalidSettingsMessage(const TSettingsBlockParse& parse);

// Writes a block that ParseSettingsBlock reads back to the same properties:
// integers in the smallest form, strings as ANSI when they survive the code
// page, else as UTF-16. Names longer than 255 bytes are refused (nullopt).
std::optional<std::string> WriteSettingsBlock(const std::vector<TREProperty>& properties);

}  // namespace ruvex
