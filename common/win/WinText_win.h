#pragma once
// Text at the Windows boundary. On Windows wchar_t is 16 bits, so UTF-16
// strings pass to and from the wide API without conversion.
#include <cstddef>
#include <string>

namespace kelvane {

inline const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
// Empty text is passed as none, as optional API arguments want it.
inline const wchar_t* WideOrNull(const std::u16string& s) { return s.empty() ? nullptr : Wide(s); }
// A NUL-terminated wide string (none reads as empty).
inline std::u16string FromWide(const wchar_t* s) {
  return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : std::u16string();
}
inline std::u16string FromWide(const wchar_t* s, std::size_t n) {
  return std::u16string(reinterpret_cast<const char16_t*>(s), n);
}

}  // namespace kelvane
