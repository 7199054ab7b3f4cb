#include "launcher/paths/Paths.h"

#include "launcher/Web.Custom.Resources.h"
#include "launcher/platform/LauncherError.h"

namespace kelvane {
namespace {

constexpr size_t kMaxPath = 260;
constexpr std::u16string_view kExtendedPrefix = u"\\\\?\\";
constexpr std::u16string_view kExtendedUncPrefix = u"\\\\?\\UNC\\";

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }
bool IsBlank(char16_t c) { return c <= 32; }

size_t ExtendedPrefixLength(std::u16string_view path) {
  if (path.starts_with(kExtendedUncPrefix)) return kExtendedUncPrefix.size();
  if (path.starts_with(kExtendedPrefix)) return kExtendedPrefix.size();
  return 0;
}

void RequireValidPath(std::u16string_view path) {
  if (HasInvalidPathCharacters(path)) throw EPathError(resources::kInvalidPathCharacters);
}

std::u16string_view TrimBlanks(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

bool HasInvalidPathCharacters(std::u16string_view path) {
  for (char16_t c : path) {
    if (c < 0x20 || c == u'"' || c == u'<' || c == u'>' || c == u'|') return true;
  }
  return false;
}

bool HasExtendedLengthPrefix(std::u16string_view path) { return ExtendedPrefixLength(path) != 0; }

bool IsRootedPath(std::u16string_view path) {
  path.remove_prefix(ExtendedPrefixLength(path));
  return (!path.empty() && IsSeparator(path[0])) || (path.size() >= 2 && path[1] == u':');
}

std::u16string CombinePath(std::u16string_view first, std::u16string_view second) {
  if (first.empty()) return std::u16string(second);
  if (second.empty()) return std::u16string(first);
  RequireValidPath(first);
  RequireValidPath(second);
  if (IsRootedPath(second) || HasExtendedLengthPrefix(second)) return std::u16string(second);
  std::u16string joined(first);
  const char16_t last = first.back();
  if (!IsSeparator(last) && last != u':') joined.push_back(u'\\');
  joined.append(second);
  return joined;
}

std::u16string DirectoryPart(std::u16string_view path) {
  const size_t prefix = ExtendedPrefixLength(path);
  if (path.size() >= kMaxPath && prefix == 0) throw EPathError(resources::kPathTooLong);
  if (TrimBlanks(path).empty() || HasInvalidPathCharacters(path))
    throw EPathError(resources::kInvalidFileNameCharacters);

  // The prefix, when there is one, is kept and the rest is taken apart.
  const std::u16string head(path.substr(0, prefix));
  const std::u16string_view rest = TrimBlanks(path.substr(prefix));
  const size_t separator = rest.find_last_of(u"\\/");
  const bool drive = rest.size() >= 2 && rest[1] == u':';
  if (separator == std::u16string_view::npos) return head + std::u16string(drive ? rest.substr(0, 2) : u"");
  if (drive && separator == 2) return head + std::u16string(rest.substr(0, 3));
  return head + std::u16string(rest.substr(0, separator));
}

std::u16string FileNamePart(std::u16string_view path) {
  RequireValidPath(path);
  const size_t separator = path.find_last_of(u"\\/:");
  return std::u16string(separator == std::u16string_view::npos ? path : path.substr(separator + 1));
}

std::u16string FileNameWithoutExtension(std::u16string_view path) {
  std::u16string name = FileNamePart(path);
  if (const size_t dot = name.rfind(u'.'); dot != std::u16string::npos) name.resize(dot);
  return name;
}

std::u16string ChangeExtension(std::u16string_view path, std::u16string_view extension) {
  if (path.empty()) return {};
  RequireValidPath(path);
  if (!extension.empty() && extension.front() == u'.') extension.remove_prefix(1);
  const size_t separator = path.find_last_of(u"\\/");
  const size_t dot = path.rfind(u'.');
  const bool hasExtension = dot != std::u16string_view::npos &&
                            (separator == std::u16string_view::npos || dot > separator);
  std::u16string result(hasExtension ? path.substr(0, dot) : path);
  result.push_back(u'.');
  result.append(extension);
  return result;
}

}  // namespace kelvane
