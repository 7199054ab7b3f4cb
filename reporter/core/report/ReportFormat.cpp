#include "reporter/core/report/ReportFormat.h"

#include "common/text/Format.h"

namespace ruvex {
namespace {

using kelvane::DecimalText;

void AppendPart(std::u16string& text, std::int64_t number, std::u16string_view unit) {
  if (number == 0) return;
  text += DecimalText(number);
  text += u' ';
  text += unit;
  if (number != 1) text += u's';
  text += u' ';
}

std::u16string ZeroFilled(std::int64_t value, std::size_t digits) {
  std::u16string text = DecimalText(value < 0 ? 0 : value);
  if (text.size() < digits) text.insert(0, digits - text.size(), u'0');
  return text;
}

// Value in hundredths of a unit, written with two decimals.
std::u16string Hundredths(std::uint64_t hundredths, char16_t separator) {
  std::u16string text = ZeroFilled(static_cast<std::int64_t>(hundredths), 3);
  text.insert(text.size() - 2, 1, separator);
  return text;
}

}  // namespace

std::u16string DurationText(std::int64_t seconds) {
  if (seconds < 0) seconds = 0;
  const std::int64_t days = seconds / 86400, hours = seconds / 3600 % 24;
  const std::int64_t minutes = seconds / 60 % 60, rest = seconds % 60;
  std::u16string text;
  if (days > 0) {
    AppendPart(text, days, u"day");
    AppendPart(text, hours, u"hour");
  } else if (hours > 0) {
    AppendPart(text, hours, u"hour");
    AppendPart(text, minutes, u"minute");
  } else {
    AppendPart(text, minutes, u"minute");
    AppendPart(text, rest, u"second");
  }
  return text;
}

std::u16string SizeText(std::uint64_t bytes, char16_t decimalSeparator) {
  constexpr std::uint64_t kKiB = 1024, kMiB = kKiB * 1024, kGiB = kMiB * 1024;
  if (bytes < kKiB) return DecimalText(static_cast<std::int64_t>(bytes)) + u" Bytes";
  // The value in the next smaller unit times 100 / 1024; the smaller unit
  // keeps the product far below 2^64 even for the largest input.
  if (bytes < kMiB) return Hundredths(bytes * 100 / kKiB, decimalSeparator) + u" KB";
  if (bytes < kGiB) return Hundredths(bytes / kKiB * 100 / kKiB, decimalSeparator) + u" MB";
  return Hundredths(bytes / kMiB * 100 / kKiB, decimalSeparator) + u" GB";
}

std::u16string DollarHex(std::uint64_t value, int digits) {
  std::u16string hex;
  do {
    hex.insert(hex.begin(), u"0123456789abcdef"[value & 15]);
    value >>= 4;
  } while (value != 0);
  if (static_cast<int>(hex.size()) < digits) hex.insert(0, digits - hex.size(), u'0');
  return u"$" + hex;
}

std::u16string CallstackCrcText(std::uint32_t first, std::uint32_t second, std::uint32_t third) {
  return DollarHex(first, 8) + u", " + DollarHex(second, 8) + u", " + DollarHex(third, 8);
}

std::u16string ReportDateTimeText(const TReportTime& t) {
  return ZeroFilled(t.year, 4) + u"-" + ZeroFilled(t.month, 2) + u"-" + ZeroFilled(t.day, 2) + u", " +
         ZeroFilled(t.hour, 2) + u":" + ZeroFilled(t.minute, 2) + u":" + ZeroFilled(t.second, 2) + u", " +
         DecimalText(t.millisecond) + u"ms";
}

std::u16string FileDateTimeText(const TReportTime& t) {
  return ZeroFilled(t.year, 4) + u"-" + ZeroFilled(t.month, 2) + u"-" + ZeroFilled(t.day, 2) + u" " +
         ZeroFilled(t.hour, 2) + u":" + ZeroFilled(t.minute, 2);
}

}  // namespace ruvex
