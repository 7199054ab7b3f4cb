#pragma once
// The process trace's output block: how much of the UTF-8 report fits.
#include <cstddef>
#include <string_view>

namespace ruvex {

inline constexpr wchar_t kTraceBlockName[] = L"Global\\RuvexTraceProcessMap";
inline constexpr wchar_t kTraceBlockFallbackName[] = L"RuvexTraceProcessMap";
inline constexpr char kTraceThreadName[] = "RuvexExcept - TraceProcessThread";

// The bytes of `utf8` copied in front of the terminating zero: at most
// maxLength - 1 and never more than the block holds besides the zero, cut
// before a character that would not fit whole. 0 when maxLength < 1.
std::size_t TraceBlockLength(std::string_view utf8, long long maxLength, std::size_t blockSize);

}  // namespace ruvex
