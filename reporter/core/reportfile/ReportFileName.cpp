#include "reporter/core/reportfile/ReportFileName.h"

#include <vector>

#include "common/text/FileNames.h"

namespace ruvex {

using kelvane::FileNameOf;
namespace {

// Length of "X:\" or "\\server\share\"; 0 when the path has neither.
std::size_t RootLength(std::u16string_view path) {
  if (path.size() >= 3 && path[1] == u':' && path[2] == u'\\') return 3;
  if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
    std::size_t at = path.find(u'\\', 2);
    if (at != std::u16string_view::npos) at = path.find(u'\\', at + 1);
    return at == std::u16string_view::npos ? path.size() : at + 1;
  }
  if (!path.empty() && path[0] == u'\\') return 1;
  return 0;
}

std::u16string MadeHarmless(std::u16string value) {
  for (char16_t& c : value) {
    if (c == u':') c = u'.';
    if (c == u'\\' || c == u'/') c = u'_';
  }
  return value;
}

}  // namespace

std::u16string ResolveDotSegments(std::u16string_view path) {
  const std::size_t root = RootLength(path);
  std::vector<std::u16string_view> folders;
  std::u16string_view rest = path.substr(root);
  // Each piece before a backslash is a folder; the last piece is the name.
  for (std::size_t slash; (slash = rest.find(u'\\')) != std::u16string_view::npos; rest.remove_prefix(slash + 1)) {
    const std::u16string_view folder = rest.substr(0, slash);
    if (folder == u".") continue;
    if (folder == u"..") {
      if (!folders.empty() && folders.back() != u"..") {
        folders.pop_back();
      } else if (root == 0) {
        folders.push_back(folder);  // a relative path keeps what it cannot resolve
      }
      continue;  // never above the root
    }
    folders.push_back(folder);
  }
  std::u16string result(path.substr(0, root));
  for (std::u16string_view folder : folders) {
    result += folder;
    result += u'\\';
  }
  result += rest;
  return result;
}

std::u16string AbsoluteReportFileName(std::u16string_view name, std::u16string_view programFolder) {
  std::u16string absolute;
  const bool backslashFirst = !name.empty() && name[0] == u'\\';
  if (name.size() < 3 || (!backslashFirst && name[1] != u':')) {
    absolute = std::u16string(programFolder) + std::u16string(name);
  } else if (backslashFirst && name[1] != u'\\') {
    absolute = std::u16string(programFolder.substr(0, 2)) + std::u16string(name);
  } else {
    absolute = std::u16string(name);
  }
  return ResolveDotSegments(absolute);
}

std::u16string ExpandFileNamePart(std::u16string_view name, const TPlaceholderExpander& expand) {
  std::u16string result;
  while (!name.empty()) {
    const std::size_t open = name.find(u'%');
    const std::size_t close = open == std::u16string_view::npos ? open : name.find(u'%', open + 1);
    if (close == std::u16string_view::npos) break;
    result += name.substr(0, open);
    const std::u16string_view token = name.substr(open, close - open + 1);
    const std::u16string value = expand ? expand(token) : std::u16string(token);
    if (value == token) {
      // Not a placeholder: its closing "%" may open the next one.
      result += name.substr(open, close - open);
      name.remove_prefix(close);
      continue;
    }
    result += MadeHarmless(value);
    name.remove_prefix(close + 1);
  }
  result += name;
  return result;
}

std::u16string ExpandReportFileName(std::u16string_view name, const TPlaceholderExpander& expand) {
  const std::size_t slash = name.rfind(u'\\');
  if (slash == std::u16string_view::npos) return ExpandFileNamePart(name, expand);
  const std::u16string_view folder = name.substr(0, slash + 1);
  return (expand ? expand(folder) : std::u16string(folder)) + ExpandFileNamePart(name.substr(slash + 1), expand);
}

std::u16string FallbackReportFileName(std::u16string_view rawName, std::u16string_view appDataFolder,
                                      std::u16string_view executablePath, const TPlaceholderExpander& expand) {
  std::u16string program = FileNameOf(executablePath);
  if (const std::size_t dot = program.rfind(u'.'); dot != std::u16string::npos) program.resize(dot);
  std::u16string fileName = ExpandFileNamePart(FileNameOf(rawName), expand);
  for (char16_t& c : fileName)
    if (c == u':') c = u'.';
  std::u16string folder(appDataFolder);
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  return folder + program + u'\\' + fileName;
}

}  // namespace ruvex
