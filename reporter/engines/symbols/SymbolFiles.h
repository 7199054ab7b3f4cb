#pragma once
// The files beside a module that symbol information may come from, behind
// one interface: the platform's file system in the program, memory in
// tests.
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace ruvex {

// Debug files larger than this are refused rather than read.
constexpr std::uint64_t kMaxDebugFileSize = 256u << 20;

class ISymbolFiles {
 public:
  virtual ~ISymbolFiles() = default;
  // The whole file; none when it is missing, unreadable or above maxSize.
  virtual std::optional<std::string> Read(const std::u16string& path, std::uint64_t maxSize) = 0;
  virtual bool Exists(const std::u16string& path) = 0;
  // The last write in whole seconds (of any fixed epoch), none when missing.
  virtual std::optional<std::int64_t> WriteSeconds(const std::u16string& path) = 0;
  // The last write as a DOS date-time (date high, time low), 0 when missing.
  virtual std::uint32_t WriteDosTime(const std::u16string& path) = 0;
};

// Files in memory, found by path without regard to case.
class TMemorySymbolFiles : public ISymbolFiles {
 public:
  void Add(const std::u16string& path, std::string data, std::int64_t writeSeconds = 0);
  void Remove(const std::u16string& path);

  std::optional<std::string> Read(const std::u16string& path, std::uint64_t maxSize) override;
  bool Exists(const std::u16string& path) override;
  std::optional<std::int64_t> WriteSeconds(const std::u16string& path) override;
  std::uint32_t WriteDosTime(const std::u16string& path) override;

 private:
  struct TFile {
    std::string data;
    std::int64_t seconds = 0;
  };
  const TFile* Find(const std::u16string& path) const;
  std::map<std::u16string, TFile> files_;  // by folded path
};

// The platform's files (Windows API on Windows, the C++ library elsewhere).
ISymbolFiles& SystemSymbolFiles();

// The module path with its extension (from the last ".") replaced.
std::u16string SiblingPath(const std::u16string& modulePath, const std::u16string& extension);

}  // namespace ruvex
