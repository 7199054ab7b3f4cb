#pragma once
// IFileSystem in memory, for tests: files found by path without regard to
// case or the kind of slash (as on Windows), write failures on demand and a
// record of what exists but cannot be read.
#include <map>
#include <memory>
#include <set>

#include "common/files/FileSystem.h"
#include "common/text/Windows1252.h"

namespace kelvane {

// Orders paths as Windows compares them: case folded, "/" as "\".
struct TPathLess {
  static char16_t Key(char16_t c) { return c == u'/' ? u'\\' : FoldCase(c); }
  bool operator()(const std::u16string& a, const std::u16string& b) const {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i)
      if (Key(a[i]) != Key(b[i])) return Key(a[i]) < Key(b[i]);
    return a.size() < b.size();
  }
};

class TMemoryFileSystem final : public IFileSystem {
 public:
  std::map<std::u16string, TSourceFile, TPathLess> files;
  std::set<std::u16string, TPathLess> unreadable;  // exist, but cannot be opened
  std::uint64_t writeBudget = UINT64_MAX;          // bytes that writes may still take
  bool failReplace = false;

  void Add(const std::u16string& path, std::string data, std::int64_t writeSeconds = 0) {
    TSourceFile& file = files[path];
    file.data = std::move(data);
    file.writeSeconds = writeSeconds;
  }

  std::optional<TSourceFile> ReadSource(const std::u16string& path, std::uint64_t maxSize) override {
    auto it = files.find(path);
    if (it == files.end() || unreadable.count(path) || it->second.data.size() > maxSize) return std::nullopt;
    return it->second;
  }

  std::optional<TFileStat> Stat(const std::u16string& path) override {
    auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return TFileStat{it->second.data.size(), it->second.attributes, it->second.modified, it->second.writeSeconds};
  }

  std::unique_ptr<IFileWriter> CreateExclusive(const std::u16string& path) override {
    if (files.count(path)) return nullptr;
    files[path];
    return std::make_unique<TWriter>(*this, path);
  }

  bool Replace(const std::u16string& from, const std::u16string& to) override {
    auto it = files.find(from);
    if (failReplace || it == files.end()) return false;
    TSourceFile moved = std::move(it->second);
    files.erase(it);
    files[to] = std::move(moved);
    return true;
  }

  bool Remove(const std::u16string& path) override { return files.erase(path) > 0; }

 private:
  class TWriter final : public IFileWriter {
   public:
    TWriter(TMemoryFileSystem& fs, std::u16string path) : fs_(fs), path_(std::move(path)) {}
    bool Write(std::string_view bytes) override {
      if (bytes.size() > fs_.writeBudget) return false;
      fs_.writeBudget -= bytes.size();
      fs_.files[path_].data.append(bytes);
      return true;
    }
    bool Close() override { return true; }

   private:
    TMemoryFileSystem& fs_;
    std::u16string path_;
  };
};

}  // namespace kelvane
