#pragma once
// The name and folder parts of a path, split at its last backslash or slash.
// These are the plain text rules the reporter needs; the launcher's path
// rules, with their error messages, are launcher/paths.
#include <string>
#include <string_view>

namespace kelvane {

// The file name part of a path (after the last backslash or slash).
std::u16string FileNameOf(std::u16string_view path);
std::string FileNameOf(std::string_view path);
// The folder part of a path, without the trailing separator; empty when
// the path has no separator.
std::u16string FolderOf(std::u16string_view path);

}  // namespace kelvane
