#pragma once
// Header fields and report boundaries inside the bug report file's UTF-8
// text. Every marker is ASCII, so the bytes are searched as they are and an
// invalid UTF-8 sequence cannot disturb a search.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruvex {

// The header of a report: up to its first blank line.
std::string_view ReportHeaderPart(std::string_view report);

// The value of a header line "name<spaces>: value", trimmed. Only whole
// header lines count: the name at the start of a line, then the padding and
// ": ", never a longer name or a line in a section.
std::optional<std::string> ReadReportField(std::string_view report, std::string_view name);

// Inserts "name: value" after the anchor's header line, the name padded to
// the anchor's width; unchanged when the anchor is missing.
std::string InsertReportFieldAfter(std::string_view report, std::string_view anchor, std::string_view name,
                                   std::string_view value);

// Where the reports of a file start: a "date/time" header line at the start
// of the file or after a blank line.
std::vector<std::size_t> ReportStarts(std::string_view file);

}  // namespace ruvex
