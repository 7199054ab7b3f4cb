#pragma once
// Base64 (RFC 4648 alphabet, with padding).
#include <cstddef>
#include <string>
#include <string_view>

namespace ruvex {

std::string Base64(std::string_view bytes);

// Base64 in lines of lineLength characters (the last may be shorter), each
// ended by CR LF, as MIME bodies need it: mail lines have a length limit.
std::string Base64Lines(std::string_view bytes, std::size_t lineLength = 76);

}  // namespace ruvex
