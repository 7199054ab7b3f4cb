#pragma once
// Fills message patterns of the form "Cannot open file \"%s\". %s".
#include <initializer_list>
#include <string>
#include <string_view>

namespace kelvane {

// Replaces each "%s", "%d" or "%p" in turn by the next argument (numbers are
// passed already as text) and "%%" by "%". Placeholders without an argument
// are left as they stand.
std::u16string FormatText(std::u16string_view pattern, std::initializer_list<std::u16string_view> args);

// Decimal text of a signed number.
std::u16string DecimalText(long long value);

}  // namespace kelvane
