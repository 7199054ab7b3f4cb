#pragma once
// Lists kept in one text, their items separated by one character.
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// Splits at every separator; an empty text gives no items.
std::vector<std::u16string> SplitItems(std::u16string_view text, char16_t separator);

}  // namespace kelvane
