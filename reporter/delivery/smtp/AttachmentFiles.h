#pragma once
// The attachment files of one mail, opened before the delivery starts, and
// the progress areas their sending fills.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "reporter/delivery/smtp/AttachmentSource.h"

namespace ruvex {

class IProgressAlert;

class IAttachmentOpener {
 public:
  virtual ~IAttachmentOpener() = default;
  // An existing file for shared reading; null when it cannot be opened.
  virtual std::unique_ptr<IAttachmentSource> Open(const std::u16string& path) = 0;
};

// The platform's files.
IAttachmentOpener& DefaultAttachmentOpener();

// Files in memory by path, for tests.
class TMemoryAttachmentOpener final : public IAttachmentOpener {
 public:
  std::map<std::u16string, std::string> files;
  std::unique_ptr<IAttachmentSource> Open(const std::u16string& path) override {
    const auto found = files.find(path);
    if (found == files.end()) return nullptr;
    return std::make_unique<TMemoryAttachment>(found->second);
  }
};

// Progress captions by their message names ("ConnMsg", ...); the settings
// texts in the program, the names themselves by default.
using TCaptionOf = std::function<std::u16string(std::u16string_view messageName)>;

struct TAttachmentSet {
  std::vector<std::unique_ptr<IAttachmentSource>> files;  // null where a file did not open
  int opened = 0;
};

// Opens every file and lays out the progress areas: "PrepAttMsg" (done at
// once), "MxLookMsg" with mxLookup, "ConnMsg" and "SendMailMsg" when mailing
// (else a heavier "ConnMsg"), one "SendAttMsg" weighing size / 16 for each
// file that opened, "SendFinalMsg". True when a file opened or none was asked.
bool OpenAttachmentFiles(IProgressAlert* progress, const TCaptionOf& caption, const std::vector<std::u16string>& paths,
                         bool mxLookup, bool mailing, IAttachmentOpener& opener, TAttachmentSet& set);

// The weight of a file's progress area; 64-bit, as files may pass 4 GiB.
inline std::uint64_t AttachmentWeight(std::uint64_t size) { return size / 16; }

}  // namespace ruvex
