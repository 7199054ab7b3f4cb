#pragma once
// Windows path rules as pure text operations with fixed error messages
// (EPathError). They never touch a file system.
#include <string>
#include <string_view>

namespace kelvane {

// Control characters, the double quote, "<", ">" and "|". Wildcards are allowed.
bool HasInvalidPathCharacters(std::u16string_view path);
// "\\?\" or "\\?\UNC\".
bool HasExtendedLengthPrefix(std::u16string_view path);
// After an optional extended-length prefix: a leading "\" or "/", or ":" second.
bool IsRootedPath(std::u16string_view path);

// Joins two paths: an empty part gives the other unchecked; a rooted second
// part replaces the first; otherwise one backslash goes between them unless
// the first ends in "\", "/" or ":".
std::u16string CombinePath(std::u16string_view first, std::u16string_view second);
// Everything before the last separator ("C:\" and "C:" keep their drive).
std::u16string DirectoryPart(std::u16string_view path);
// The text after the last "\", "/" or ":".
std::u16string FileNamePart(std::u16string_view path);
// FileNamePart without its last extension.
std::u16string FileNameWithoutExtension(std::u16string_view path);
// Replaces (or adds) the extension of the last path component.
std::u16string ChangeExtension(std::u16string_view path, std::u16string_view extension);

}  // namespace kelvane
