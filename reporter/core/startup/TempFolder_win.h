#pragma once
// The temporary folder on the real file system.
#include <windows.h>

#include "reporter/core/startup/TempFolder.h"

namespace ruvex {

class TWin32TempFileSystem : public ITempFileSystem {
 public:
  std::optional<TFolderEntry> Stat(const std::u16string& path) override;
  std::vector<TFolderEntry> List(const std::u16string& folder) override;
  bool DeleteFileAt(const std::u16string& path) override;
  bool RemoveFolder(const std::u16string& path) override;
};

// This executable's folder, empty when no safe one can be formed.
std::u16string ReporterTempFolder();

// Every running instance holds a mutex of this name for its folder, so that
// a second instance does not clean away the files of the first.
std::wstring TempFolderGuardName(const std::u16string& folder);

}  // namespace ruvex
