#pragma once
// IFileSystem in memory, for tests: files found by path without regard to
// case or the kind of slash (as on Windows), write, read and replacement
// failures on demand, a record of what cannot be opened, and exclusive holds
// that keep out a second opener as the platform's do.
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

// A file's content in memory as a reader: a copy taken at opening, so that
// later changes of the file do not move under it. `readable` cuts the
// content short of its size (a disk that fails part way); `size` may claim
// more than is there.
class TMemoryFileReader final : public IFileReader {
 public:
  explicit TMemoryFileReader(std::string data, std::uint64_t readable = UINT64_MAX, std::uint64_t size = UINT64_MAX)
      : data_(std::move(data)),
        size_(size != UINT64_MAX ? size : data_.size()),
        readable_(readable < data_.size() ? readable : data_.size()) {}
  std::uint64_t Size() override { return size_; }
  bool Rewind() override {
    position_ = 0;
    return true;
  }
  std::size_t Read(char* buffer, std::size_t length) override {
    const std::uint64_t left = readable_ - position_;
    const std::size_t n = static_cast<std::size_t>(length < left ? length : left);
    data_.copy(buffer, n, static_cast<std::size_t>(position_));
    position_ += n;
    return n;
  }

 private:
  std::string data_;
  std::uint64_t size_;
  std::uint64_t readable_;
  std::uint64_t position_ = 0;
};

class TMemoryFileSystem final : public IFileSystem {
 public:
  std::map<std::u16string, TSourceFile, TPathLess> files;
  std::set<std::u16string, TPathLess> unreadable;  // cannot be opened, whether they exist or not
  std::uint64_t writeBudget = UINT64_MAX;          // bytes that writes may still take
  bool failReplace = false;                        // every replacement fails
  int replaceFailures = 0;                         // the next so many replacements fail
  // Reading breaks off after so many bytes of the file, as on a failing disk.
  std::map<std::u16string, std::uint64_t, TPathLess> readableBytes;
  // Files larger than a test can keep: the size an opened reader reports;
  // reading them breaks off at the end of their data.
  std::map<std::u16string, std::uint64_t, TPathLess> claimedSizes;
  // Held by another process: the next so many exclusive openings fail.
  std::map<std::u16string, int, TPathLess> heldElsewhere;
  std::set<std::u16string, TPathLess> folders;  // made by CreateFolders
  int exclusiveOpens = 0;                       // attempts, successful or not

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
    if (replaceFailures > 0) {
      --replaceFailures;
      return false;
    }
    TSourceFile moved = std::move(it->second);
    files.erase(it);
    files[to] = std::move(moved);
    return true;
  }

  bool Remove(const std::u16string& path) override { return files.erase(path) > 0; }

  std::unique_ptr<IFileReader> OpenRead(const std::u16string& path) override {
    auto it = files.find(path);
    if (it == files.end() || unreadable.count(path)) return nullptr;
    const auto claimed = claimedSizes.find(path);
    const std::uint64_t size = claimed != claimedSizes.end() ? claimed->second : it->second.data.size();
    return std::make_unique<TMemoryFileReader>(it->second.data, ReadableBytes(path), size);
  }

  std::unique_ptr<IExclusiveFile> OpenExclusive(const std::u16string& path) override {
    ++exclusiveOpens;
    if (unreadable.count(path) || held_.count(path)) return nullptr;
    if (auto it = heldElsewhere.find(path); it != heldElsewhere.end() && it->second > 0) {
      --it->second;
      return nullptr;
    }
    files[path];  // created when missing
    held_.insert(path);
    return std::make_unique<THold>(*this, path);
  }

  bool CreateFolders(const std::u16string& folder) override {
    if (unreadable.count(folder)) return false;
    folders.insert(folder);
    return true;
  }

  bool IsHeld(const std::u16string& path) const { return held_.count(path) > 0; }

 private:
  std::uint64_t ReadableBytes(const std::u16string& path) const {
    const auto it = readableBytes.find(path);
    return it != readableBytes.end() ? it->second : UINT64_MAX;
  }



  // Replaces through a sibling, as the platform halves do, so that the
  // write and replacement failures above reach it.
  class THold final : public IExclusiveFile {
   public:
    THold(TMemoryFileSystem& fs, std::u16string path) : fs_(fs), path_(std::move(path)) {}
    ~THold() override { Release(); }
    std::optional<std::uint64_t> Size() override {
      if (!holding_) return std::nullopt;
      return fs_.files[path_].data.size();
    }
    std::optional<std::string> ReadFrom(std::uint64_t offset) override {
      if (!holding_) return std::nullopt;
      const std::string& data = fs_.files[path_].data;
      if (offset > data.size() || data.size() > fs_.ReadableBytes(path_)) return std::nullopt;
      return data.substr(static_cast<std::size_t>(offset));
    }
    bool Replace(std::string_view bytes) override {
      if (!holding_) return false;
      const bool replaced = WriteFileReplacing(fs_, path_, bytes);
      Release();
      return replaced;
    }

   private:
    void Release() {
      if (holding_) fs_.held_.erase(path_);
      holding_ = false;
    }
    TMemoryFileSystem& fs_;
    std::u16string path_;
    bool holding_ = true;
  };

  std::set<std::u16string, TPathLess> held_;

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
