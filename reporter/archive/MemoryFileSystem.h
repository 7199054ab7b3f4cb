#pragma once
// IFileSystem in memory, for tests: files, write failures on demand and a
// record of what was removed.
#include <map>
#include <memory>
#include <set>

#include "reporter/archive/FileSystem.h"

namespace ruvex {

class TMemoryFileSystem final : public IFileSystem {
 public:
  std::map<std::u16string, TSourceFile> files;
  std::set<std::u16string> unreadable;  // exist, but cannot be opened
  std::uint64_t writeBudget = UINT64_MAX;  // bytes that writes may still take
  bool failReplace = false;

  std::optional<TSourceFile> ReadSource(const std::u16string& path, std::uint64_t maxSize) override {
    auto it = files.find(path);
    if (it == files.end() || unreadable.count(path) || it->second.data.size() > maxSize) return std::nullopt;
    return it->second;
  }

  std::unique_ptr<IFileWriter> CreateExclusive(const std::u16string& path) override {
    if (files.count(path)) return nullptr;
    files[path];
    return std::make_unique<TWriter>(*this, path);
  }

  bool Replace(const std::u16string& from, const std::u16string& to) override {
    auto it = files.find(from);
    if (failReplace || it == files.end()) return false;
    files[to] = it->second;
    files.erase(from);
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

}  // namespace ruvex
