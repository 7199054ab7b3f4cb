#pragma once
// The reporter's temporary folder: the user's temporary directory, the
// executable's name without extension and ".RuvexExcept". Leftovers of an
// earlier run are removed at start. The cleaning is careful: it deletes
// nothing outside that folder, follows no links and never runs on an empty
// or relative path.
#include <optional>
#include <string>
#include <vector>

namespace ruvex {

// Absolute Windows paths only: "X:\..." or "\\server\share\...".
bool IsAbsoluteWindowsPath(std::u16string_view path);

// The folder with a trailing backslash, or empty when no safe folder can be
// formed (no usable base directory, or an executable name that is empty or
// would leave the base directory).
std::u16string TempFolderPath(std::u16string_view tempDirectory, std::u16string_view appDataDirectory,
                              std::u16string_view executablePath);

struct TFolderEntry {
  std::u16string name;
  bool isDirectory = false;
  bool isLink = false;  // a symbolic link, junction or other reparse point
};

class ITempFileSystem {
 public:
  virtual ~ITempFileSystem() = default;
  // nullopt when the path does not exist.
  virtual std::optional<TFolderEntry> Stat(const std::u16string& path) = 0;
  virtual std::vector<TFolderEntry> List(const std::u16string& folder) = 0;
  virtual bool DeleteFileAt(const std::u16string& path) = 0;
  virtual bool RemoveFolder(const std::u16string& path) = 0;
};

// Deletes the folder's files (links are removed as links), its plain
// subfolders likewise, then the folder. Returns whether the folder is gone.
bool CleanTempFolder(ITempFileSystem& fs, const std::u16string& folder);

}  // namespace ruvex
