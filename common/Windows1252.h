#pragma once
// The Windows-1252 code page: the ANSI code page of Western systems, and the
// fixed case-folding table the reporter uses for characters below 256.
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvane {

char16_t Windows1252ToUnicode(std::uint8_t byte);
std::u16string DecodeWindows1252(std::string_view bytes);

}  // namespace kelvane
