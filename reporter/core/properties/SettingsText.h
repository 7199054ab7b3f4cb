#pragma once
// The readable form of a settings block, one property a line:
//
//   # a comment (also "//")
//   Enabled = True
//   AutoDelay = 30            integers: decimal, "-" allowed, "$" hexadecimal
//   ExceptMsg = 'It''s gone' strings in single quotes, '' for a quote,
//   TitleBar = 'K'#246'lvane'  #n inserts the UTF-16 code unit n
//
// The component text form ("object RuvexExcept: TRuvexExcept" ... "end")
// is accepted too, so one description serves other tools as well.
#include <string>
#include <string_view>
#include <vector>

#include "reporter/core/properties/Properties.h"

namespace ruvex {

struct TSettingsTextResult {
  std::vector<TREProperty> properties;
  std::vector<int> lines;  // the line number of each property
  std::string error;  // "line N: ..." when the text could not be read
  bool Ok() const { return error.empty(); }
};

// `text` is UTF-8 (a leading byte-order mark is skipped).
TSettingsTextResult ParseSettingsText(std::string_view text);

// The text form of properties (what ParseSettingsText reads back).
std::string FormatSettingsText(const std::vector<TREProperty>& properties);

// Stores SmtpPassword, HttpPassword and BugTrPassword enciphered, keyed by
// their account and server, the way the reader expects them.
void EncipherPasswords(std::vector<TREProperty>& properties);

}  // namespace ruvex
