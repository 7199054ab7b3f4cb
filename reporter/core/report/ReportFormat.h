#pragma once
// The value formats of the bug report header: durations, sizes, times and
// checksums. All arithmetic is 64-bit, so no input overflows.
#include <cstdint>
#include <string>

namespace ruvex {

// "1 day 1 hour ", "1 minute 5 seconds ", "3 seconds ": the two leading
// units, each part that is not zero followed by a space. Empty below one
// second; negative counts as zero.
std::u16string DurationText(std::int64_t seconds);

// "512 Bytes", "1.50 KB", "2.00 MB", "3.25 GB": two decimals truncated,
// with the user's decimal separator.
std::u16string SizeText(std::uint64_t bytes, char16_t decimalSeparator = u'.');

// "$" and lowercase hexadecimal digits, zero-filled to `digits`.
std::u16string DollarHex(std::uint64_t value, int digits = 1);

// The three call-stack checksums as the "callstack crc" field shows them:
// "$0badf00d, $12345678, $9abcdef0" (31 characters).
std::u16string CallstackCrcText(std::uint32_t first, std::uint32_t second, std::uint32_t third);
constexpr std::size_t kCallstackCrcLength = 31;

struct TReportTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// "2026-12-10, 09:05:07, 45ms": the creation time of an exception.
std::u16string ReportDateTimeText(const TReportTime& time);
// "2026-12-10 09:05": the last-write time of a module.
std::u16string FileDateTimeText(const TReportTime& time);

}  // namespace ruvex
