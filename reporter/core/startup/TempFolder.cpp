#include "reporter/core/startup/TempFolder.h"

#include "common/text/FileNames.h"

namespace ruvex {

using kelvane::FileNameOf;
namespace {

constexpr int kMaxDepth = 16;

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

std::u16string WithBackslash(std::u16string_view path) {
  std::u16string out(path);
  if (!out.empty() && !IsSeparator(out.back())) out.push_back(u'\\');
  return out;
}

bool HasParentStep(std::u16string_view path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (path.substr(start, end - start) == u"..") return true;
    start = end + 1;
  }
  return false;
}

bool CleanFolderContent(ITempFileSystem& fs, const std::u16string& folder, int depth) {
  bool empty = true;
  for (const auto& entry : fs.List(folder)) {
    if (entry.name.empty() || entry.name == u"." || entry.name == u".." ||
        entry.name.find_first_of(u"\\/") != std::u16string::npos)
      continue;
    std::u16string path = folder + entry.name;
    if (entry.isDirectory && !entry.isLink) {
      // A real subfolder: its content, then itself.
      bool gone = depth < kMaxDepth && CleanFolderContent(fs, path + u"\\", depth + 1) && fs.RemoveFolder(path);
      empty = empty && gone;
    } else if (entry.isDirectory) {
      // A linked folder: remove the link, never what it points to.
      empty = fs.RemoveFolder(path) && empty;
    } else {
      empty = fs.DeleteFileAt(path) && empty;
    }
  }
  return empty;
}

}  // namespace

bool IsAbsoluteWindowsPath(std::u16string_view path) {
  if (path.size() >= 3 && ((path[0] | 0x20) >= u'a' && (path[0] | 0x20) <= u'z') && path[1] == u':' &&
      IsSeparator(path[2]))
    return true;
  if (path.size() >= 5 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2])) {
    // \\server\share\ : the server must be followed by a share name.
    size_t serverEnd = path.find_first_of(u"\\/", 2);
    return serverEnd != std::u16string_view::npos && serverEnd + 1 < path.size() && !IsSeparator(path[serverEnd + 1]);
  }
  return false;
}

std::u16string TempFolderPath(std::u16string_view tempDirectory, std::u16string_view appDataDirectory,
                              std::u16string_view executablePath) {
  std::u16string_view base = tempDirectory.empty() ? appDataDirectory : tempDirectory;
  if (!IsAbsoluteWindowsPath(base) || HasParentStep(base)) return {};
  std::u16string name = FileNameOf(executablePath);
  size_t dot = name.rfind(u'.');
  if (dot != std::u16string::npos) name.resize(dot);
  if (name.empty() || name == u"." || name == u"..") return {};
  return WithBackslash(base) + name + u".RuvexExcept\\";
}

bool CleanTempFolder(ITempFileSystem& fs, const std::u16string& folder) {
  if (!IsAbsoluteWindowsPath(folder) || HasParentStep(folder)) return false;
  std::u16string withSlash = WithBackslash(folder);
  std::u16string bare = withSlash.substr(0, withSlash.size() - 1);
  auto stat = fs.Stat(bare);
  if (!stat) return true;
  // A link in place of the folder is never followed; the link is left alone.
  if (!stat->isDirectory || stat->isLink) return false;
  return CleanFolderContent(fs, withSlash, 0) && fs.RemoveFolder(bare);
}

}  // namespace ruvex
