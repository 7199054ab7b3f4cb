#pragma once
// Paths with their components in long form ("C:\Program Files\...") or in
// the short 8.3 form ("C:\PROGRA~1\..."), asking the file system one
// component at a time so that a missing part stays as it is.
#include <optional>
#include <string>

namespace ruvex {

// The file system's names for one existing file or folder.
struct TFoundName {
  std::u16string longName;
  std::u16string shortName;  // empty when the file system keeps none
};

class IDirectorySearch {
 public:
  virtual ~IDirectorySearch() = default;
  // The names of exactly the file or folder `path` names, or none.
  virtual std::optional<TFoundName> Find(const std::u16string& path) const = 0;
};

std::u16string LongPathName(const std::u16string& path, const IDirectorySearch& search);
std::u16string ShortPathName(const std::u16string& path, const IDirectorySearch& search);

// The same over the system's directory search (Windows).
std::u16string LongPathName(const std::u16string& path);
std::u16string ShortPathName(const std::u16string& path);

}  // namespace ruvex
