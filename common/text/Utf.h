#pragma once
// UTF-8 and UTF-16 conversion. Text is UTF-16 (std::u16string) in memory;
// these run at the edges: files, the wire, the console, test fixtures.
#include <string>
#include <string_view>

namespace kelvane {

// Invalid sequences become U+FFFD; nothing is dropped silently.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Reads UTF-16 code units from bytes in the given byte order; an odd last
// byte is ignored.
std::u16string Utf16FromBytes(std::string_view bytes, bool bigEndian);

// Shorthand for tests and fixed ASCII texts.
inline std::u16string U16(std::string_view utf8) { return Utf8ToUtf16(utf8); }

}  // namespace kelvane
