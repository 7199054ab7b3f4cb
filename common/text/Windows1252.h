#pragma once
// The Windows-1252 code page: the ANSI code page of Western systems. The
// reporter uses it as its fixed ANSI code page, so settings blocks read the
// same on every machine and in the portable build, and its lower-case
// mapping is the case folding of every case-insensitive comparison.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

char16_t Windows1252ToUnicode(std::uint8_t byte);
std::u16string DecodeWindows1252(std::string_view bytes);
// Empty optional when a character has no Windows-1252 form.
std::optional<std::string> EncodeWindows1252(std::u16string_view text);
// Lossy form for texts handed out as ANSI: unmappable characters become '?'.
std::string EncodeWindows1252Lossy(std::u16string_view text);

// Case folding: characters below 256 go through the Windows-1252 lower-case
// mapping (taken as a mapping of code values, as the fixed ANSI table is),
// characters from 256 up stay as they are and so compare exactly.
char16_t FoldCase(char16_t c);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);
bool StartsWithIgnoreCase(std::u16string_view text, std::u16string_view prefix);

}  // namespace kelvane
