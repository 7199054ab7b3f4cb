#include "reporter/engines/system/os/PathNames.h"

#include <vector>

namespace ruvex {
namespace {

void DropTrailingBackslash(std::u16string& path) {
  if (!path.empty() && path.back() == u'\\') path.pop_back();
}

// The part kept as given: "\\server\share\" or "C:\"; none when the path
// has no such root (a relative path is not converted).
std::optional<std::size_t> RootLength(const std::u16string& path) {
  if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
    const std::size_t serverEnd = path.find(u'\\', 2);
    if (serverEnd == std::u16string::npos) return path.size();
    const std::size_t shareEnd = path.find(u'\\', serverEnd + 1);
    return shareEnd == std::u16string::npos ? path.size() : shareEnd + 1;
  }
  // "C:" followed by a backslash; "C:name" is relative to the drive's
  // current folder and has no root to keep.
  if (path.size() >= 3 && path[1] == u':' && path[2] == u'\\') return 3;
  return std::nullopt;
}

std::vector<std::u16string> Split(const std::u16string& text) {
  std::vector<std::u16string> parts;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t end = text.find(u'\\', begin);
    parts.push_back(text.substr(begin, end - begin));
    if (end == std::u16string::npos) return parts;
    begin = end + 1;
  }
}

std::u16string Convert(std::u16string path, const IDirectorySearch& search, bool toShort) {
  DropTrailingBackslash(path);
  const auto rootLength = RootLength(path);
  if (!rootLength || *rootLength >= path.size()) return path;
  const std::u16string root = path.substr(0, *rootLength);
  std::vector<std::u16string> parts = Split(path.substr(*rootLength));

  // From the last component to the first: each lookup sees the components
  // before it as they were given.
  for (std::size_t i = parts.size(); i-- > 0;) {
    const std::u16string& part = parts[i];
    if (part.empty() || part.find_first_of(u"*?") != std::u16string::npos) continue;
    if (!toShort && part.find(u'~') == std::u16string::npos) continue;
    std::u16string upTo = root;
    for (std::size_t k = 0; k <= i; ++k) upTo += (k ? u"\\" : u"") + parts[k];
    const auto found = search.Find(upTo);
    if (!found) continue;
    if (toShort)
      parts[i] = found->shortName.empty() ? found->longName : found->shortName;
    else if (!found->longName.empty())
      parts[i] = found->longName;
  }

  std::u16string out = root;
  for (std::size_t k = 0; k < parts.size(); ++k) out += (k ? u"\\" : u"") + parts[k];
  DropTrailingBackslash(out);
  return out;
}

}  // namespace

std::u16string LongPathName(const std::u16string& path, const IDirectorySearch& search) {
  return Convert(path, search, false);
}

std::u16string ShortPathName(const std::u16string& path, const IDirectorySearch& search) {
  return Convert(path, search, true);
}

}  // namespace ruvex
