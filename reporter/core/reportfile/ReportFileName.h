#pragma once
// Where the bug report file goes: absolute names in automatic mode, the
// file name part's placeholders, and the fallback in the user's roaming
// application data.
#include <functional>
#include <string>
#include <string_view>

namespace ruvex {

// Expands the placeholders (such as "%appname%") of a text.
using TPlaceholderExpander = std::function<std::u16string(std::u16string_view)>;

// A relative name goes behind programFolder (which ends in a backslash), a
// name with a single leading backslash behind the program's drive; then
// "\.\" becomes "\" and "folder\..\" goes away, never above the root
// ("C:\..\x" is "C:\x").
std::u16string AbsoluteReportFileName(std::u16string_view name, std::u16string_view programFolder);

// Removes "\.\" and "folder\..\" sequences below the path's root.
std::u16string ResolveDotSegments(std::u16string_view path);

// Expands the placeholders of a file name part; what they insert cannot
// add a folder or a drive: ":" becomes "." and "\" or "/" becomes "_".
std::u16string ExpandFileNamePart(std::u16string_view name, const TPlaceholderExpander& expand);

// Expands a name: its folder part as it is (folders legitimately come from
// placeholders such as "%appdata%"), its file name part as above.
std::u16string ExpandReportFileName(std::u16string_view name, const TPlaceholderExpander& expand);

// appData\<executable name without extension>\<file name part, with every
// ":" replaced by ".">.
std::u16string FallbackReportFileName(std::u16string_view rawName, std::u16string_view appDataFolder,
                                      std::u16string_view executablePath, const TPlaceholderExpander& expand);

}  // namespace ruvex
