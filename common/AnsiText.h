#pragma once
// The reporter's ANSI code page is the fixed Windows-1252 table, so settings
// blocks read the same on every machine and in the portable build.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruvex {

std::u16string AnsiToUtf16(std::string_view ansi);
// Empty optional when a character has no Windows-1252 form.
std::optional<std::string> Utf16ToAnsi(std::u16string_view text);
// Lossy form for texts handed out as ANSI: unmappable characters become '?'.
std::string Utf16ToAnsiLossy(std::u16string_view text);

// Case-insensitive comparison: characters below 256 are folded through the
// Windows-1252 lower-case mapping, characters from 256 up compare exactly.
char16_t FoldCase(char16_t c);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);
bool StartsWithIgnoreCase(std::u16string_view text, std::u16string_view prefix);

// Splits at every separator; an empty text gives no items.
std::vector<std::u16string> SplitItems(std::u16string_view text, char16_t separator);

// The file name part of a path (after the last backslash or slash).
std::u16string FileNameOf(std::u16string_view path);
// The folder part of a path, without the trailing separator.
std::u16string FolderOf(std::u16string_view path);

}  // namespace ruvex
