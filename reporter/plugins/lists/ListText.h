#pragma once
// Text rules the inventory lists share: left-aligned columns as wide as
// their longest text plus one, CR LF lines, the sort order, hexadecimal
// numbers and process priority classes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ruvex {

// Case is ignored below U+0100, code units compared above; a prefix sorts
// before the longer text. Negative, zero or positive.
int CompareListText(std::u16string_view a, std::u16string_view b);

// The longest of `texts` plus 1 (1 for no texts).
std::size_t ColumnWidth(const std::vector<std::u16string>& texts);
// `text` followed by spaces up to `width`.
std::u16string Column(std::u16string_view text, std::size_t width);

// Lines joined with CR LF, no leading or trailing break.
std::u16string JoinLines(const std::vector<std::u16string>& lines);

// Lower-case hexadecimal, zero-padded on the left to `digits`.
std::u16string HexColumn(std::uint64_t value, unsigned digits);
// The number of hexadecimal digits of `value` (1 for 0).
unsigned HexDigitCount(std::uint64_t value);

// "normal", "idle", ... for a priority class; "" when unknown (0 or -1);
// "$" and hexadecimal for any other value.
std::u16string PriorityClassText(std::int32_t priorityClass);

// Characters up to U+0020 trimmed from both ends.
std::u16string TrimBlanks(std::u16string_view text);

}  // namespace ruvex
