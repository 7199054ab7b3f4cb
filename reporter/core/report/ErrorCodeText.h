#pragma once
// A system error code as message text, for the delivery channels' last-error
// texts.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ruvex {

// The system's message in the user's default language (Windows builds):
// NT status codes are converted first, network codes 2100 to 2999 are also
// looked up in the network message module; UnknownErrorText otherwise.
std::u16string ErrorCodeToText(std::uint32_t code);

// The system text on one line: carriage returns become spaces, line feeds
// go, trailing blanks too.
std::u16string CleanSystemMessage(std::u16string_view text);

// The fixed prefix, a space, "$" and the code in lowercase hexadecimal.
std::u16string UnknownErrorText(std::uint32_t code);

// A text kept in the image only combined with a fixed byte, so that the
// names of the routines looked up at run time do not stand in it plainly.
template <std::size_t N>
class TScrambledText {
 public:
  static constexpr std::uint8_t kKey = 0x5a;
  consteval explicit TScrambledText(const char (&text)[N]) {
    for (std::size_t i = 0; i < N; ++i) bytes_[i] = static_cast<char>(text[i] ^ kKey);
  }
  std::string Plain() const {
    std::string text(N - 1, '\0');
    for (std::size_t i = 0; i + 1 < N; ++i) text[i] = static_cast<char>(bytes_[i] ^ kKey);
    return text;
  }
  std::string_view Stored() const { return std::string_view(bytes_.data(), N - 1); }

 private:
  std::array<char, N> bytes_{};
};

}  // namespace ruvex
