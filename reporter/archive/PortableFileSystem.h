#pragma once
// IFileSystem over the C++ standard library, for builds without the Windows
// API and for tests on real files.
#include "reporter/archive/FileSystem.h"

namespace ruvex {

class TPortableFileSystem final : public IFileSystem {
 public:
  std::optional<TSourceFile> ReadSource(const std::u16string& path, std::uint64_t maxSize) override;
  std::unique_ptr<IFileWriter> CreateExclusive(const std::u16string& path) override;
  bool Replace(const std::u16string& from, const std::u16string& to) override;
  bool Remove(const std::u16string& path) override;
};

}  // namespace ruvex
