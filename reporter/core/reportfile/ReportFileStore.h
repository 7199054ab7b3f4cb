#pragma once
// The file access of a bug report save: one exclusive hold on the file for
// the whole save, the old content read through it, and the new content
// put in place in one step.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ruvex {

struct TFileContent {
  std::string bytes;
  bool headCut = false;  // only the end of a larger file
};

class IReportFileHold {
 public:
  virtual ~IReportFileHold() = default;
  // The content, or its last maxBytes bytes when the file is larger;
  // nullopt when it cannot be read.
  virtual std::optional<TFileContent> Read(std::uint64_t maxBytes) = 0;
  // Puts bytes in place of the content, flushed, and releases the hold.
  // Either the whole new content is in place or the old one still is.
  virtual bool Replace(std::string_view bytes) = 0;
};

class IReportFileStore {
 public:
  virtual ~IReportFileStore() = default;
  // Holds path for this save alone, creating it and its missing folders
  // when missing; null while another holds it or when it cannot be made.
  virtual std::unique_ptr<IReportFileHold> Hold(const std::u16string& path) = 0;
};

// The Windows file system (Windows builds only).
IReportFileStore& WindowsReportFileStore();

}  // namespace ruvex
