#pragma once
// Texts that go into a mail's envelope and head: recipient lists, addresses
// with display names, encoded words. Everything here is checked so that no
// text can end a header line or an SMTP command early.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruvex {

// Normalises a recipient list in place (";" becomes ",", blanks around each
// "," go, empty items are dropped) and returns the number of addresses.
int CountMailAddrs(std::u16string& list);
// The addresses of a list, normalised as above.
std::vector<std::u16string> SplitMailAddrs(std::u16string_view list);

// True when every character has an ISO-8859-1 byte of its own; the C1
// control range is left out, it is nothing a mail reader shows.
bool IsLatin1Text(std::u16string_view text);
// The ISO-8859-1 bytes of a text that IsLatin1Text accepts.
std::string ToLatin1(std::u16string_view text);

// "Name <address>" or "address" as an SMTP path or a header address:
// without name "<address>", with name the display name quoted or encoded
// as needed before it. Nullopt for an address that a server could read as
// more than one (blanks, brackets, non-ASCII) and for any text holding
// controls.
std::optional<std::string> FormatMailAddress(std::u16string_view text, bool withName, bool alwaysUtf8);

// A header value as encoded words: ISO-8859-1 "Q" words when the text is
// Latin-1 (and alwaysUtf8 is not set), else UTF-8 "B" words. Long values are
// split into several words on lines folded with CR LF and a blank.
std::string EncodedWords(std::u16string_view text, bool alwaysUtf8);

// The MIME type sent for an attachment, by its extension.
std::string MimeTypeOf(std::u16string_view fileName);

}  // namespace ruvex
