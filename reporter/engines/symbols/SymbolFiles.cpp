#include "reporter/engines/symbols/SymbolFiles.h"

#include "reporter/engines/symbols/MapFile.h"

#ifndef _WIN32
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/Utf.h"
#endif

namespace ruvex {

namespace {
std::u16string Folded(const std::u16string& path) {
  std::u16string f = path;
  for (char16_t& c : f) c = FoldChar(c == u'/' ? u'\\' : c);
  return f;
}
}  // namespace

std::u16string SiblingPath(const std::u16string& modulePath, const std::u16string& extension) {
  const std::size_t dot = modulePath.rfind(u'.');
  const std::size_t slash = modulePath.find_last_of(u"\\/");
  if (dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash)) return modulePath + extension;
  return modulePath.substr(0, dot) + extension;
}

void TMemorySymbolFiles::Add(const std::u16string& path, std::string data, std::int64_t writeSeconds) {
  files_[Folded(path)] = TFile{std::move(data), writeSeconds};
}

void TMemorySymbolFiles::Remove(const std::u16string& path) { files_.erase(Folded(path)); }

const TMemorySymbolFiles::TFile* TMemorySymbolFiles::Find(const std::u16string& path) const {
  auto it = files_.find(Folded(path));
  return it == files_.end() ? nullptr : &it->second;
}

std::optional<std::string> TMemorySymbolFiles::Read(const std::u16string& path, std::uint64_t maxSize) {
  const TFile* f = Find(path);
  if (!f || f->data.size() > maxSize) return std::nullopt;
  return f->data;
}

bool TMemorySymbolFiles::Exists(const std::u16string& path) { return Find(path) != nullptr; }

std::optional<std::int64_t> TMemorySymbolFiles::WriteSeconds(const std::u16string& path) {
  const TFile* f = Find(path);
  return f ? std::optional<std::int64_t>(f->seconds) : std::nullopt;
}

std::uint32_t TMemorySymbolFiles::WriteDosTime(const std::u16string& path) {
  const TFile* f = Find(path);
  // Any stable value that changes with the time will do for the cache.
  return f ? static_cast<std::uint32_t>(f->seconds / 2) | 1u : 0;
}

#ifndef _WIN32
namespace {

class TPortableSymbolFiles : public ISymbolFiles {
 public:
  std::optional<std::string> Read(const std::u16string& path, std::uint64_t maxSize) override {
    std::error_code ec;
    const std::filesystem::path p = Native(path);
    const auto size = std::filesystem::file_size(p, ec);
    if (ec || size > maxSize) return std::nullopt;
    std::ifstream in(p, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  bool Exists(const std::u16string& path) override {
    std::error_code ec;
    return std::filesystem::is_regular_file(Native(path), ec);
  }
  std::optional<std::int64_t> WriteSeconds(const std::u16string& path) override {
    std::error_code ec;
    const auto t = std::filesystem::last_write_time(Native(path), ec);
    if (ec) return std::nullopt;
    return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
  }
  std::uint32_t WriteDosTime(const std::u16string& path) override {
    const auto s = WriteSeconds(path);
    return s ? static_cast<std::uint32_t>(*s / 2) | 1u : 0;
  }

 private:
  static std::filesystem::path Native(const std::u16string& path) { return kelvane::Utf16ToUtf8(path); }
};

}  // namespace

ISymbolFiles& SystemSymbolFiles() {
  static TPortableSymbolFiles files;
  return files;
}
#endif

}  // namespace ruvex
