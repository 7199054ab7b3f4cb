#pragma once
// IReportFileStore in memory, for tests and fuzzing: files, paths that
// cannot be opened, holds by others and failing replacements on demand.
#include <map>
#include <set>

#include "reporter/core/reportfile/ReportFileStore.h"

namespace ruvex {

class TMemoryReportFileStore final : public IReportFileStore {
 public:
  std::map<std::u16string, std::string> files;
  std::set<std::u16string> unopenable;   // folder not writable, for example
  std::map<std::u16string, int> heldByOthers;  // path -> attempts that still fail
  std::set<std::u16string> unreadable;
  int replaceFailures = 0;  // the next replacements that fail (a short write, a full disk)
  int holdAttempts = 0;

  std::unique_ptr<IReportFileHold> Hold(const std::u16string& path) override {
    ++holdAttempts;
    if (unopenable.count(path)) return nullptr;
    if (auto it = heldByOthers.find(path); it != heldByOthers.end() && it->second > 0) {
      --it->second;
      return nullptr;
    }
    files[path];  // created when missing
    return std::make_unique<THold>(*this, path);
  }

 private:
  class THold final : public IReportFileHold {
   public:
    THold(TMemoryReportFileStore& store, std::u16string path) : store_(store), path_(std::move(path)) {}
    std::optional<TFileContent> Read(std::uint64_t maxBytes) override {
      if (store_.unreadable.count(path_)) return std::nullopt;
      const std::string& data = store_.files[path_];
      if (data.size() <= maxBytes) return TFileContent{data, false};
      return TFileContent{data.substr(data.size() - static_cast<std::size_t>(maxBytes)), true};
    }
    bool Replace(std::string_view bytes) override {
      if (store_.replaceFailures > 0) {
        --store_.replaceFailures;
        return false;
      }
      store_.files[path_] = std::string(bytes);
      return true;
    }

   private:
    TMemoryReportFileStore& store_;
    std::u16string path_;
  };
};

}  // namespace ruvex
