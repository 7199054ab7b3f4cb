#pragma once
// Passwords are stored in a settings block enciphered, keyed by the account
// and the server they belong to, so that a block copied into a message or a
// file does not show them in clear text. This is obfuscation, not security:
// the key travels with the program.
#include <optional>
#include <string>
#include <string_view>

namespace ruvex {

// "~" followed by lowercase hexadecimal digits.
std::u16string EncipherPassword(std::u16string_view plain, std::u16string_view account,
                                std::u16string_view server);
// nullopt when the text is not in the enciphered form.
std::optional<std::u16string> DecipherPassword(std::u16string_view stored, std::u16string_view account,
                                               std::u16string_view server);

}  // namespace ruvex
