// Attachment files through the C library, off Windows.
#include <cstdio>

#include "common/text/Utf.h"
#include "reporter/delivery/smtp/AttachmentFiles.h"

namespace ruvex {
namespace {

class TStdioAttachment final : public IAttachmentSource {
 public:
  TStdioAttachment(std::FILE* file, std::uint64_t size) : file_(file), size_(size) {}
  ~TStdioAttachment() override { std::fclose(file_); }
  TStdioAttachment(const TStdioAttachment&) = delete;
  TStdioAttachment& operator=(const TStdioAttachment&) = delete;
  std::uint64_t Size() override { return size_; }
  bool Rewind() override { return std::fseek(file_, 0, SEEK_SET) == 0; }
  std::size_t Read(char* buffer, std::size_t length) override { return std::fread(buffer, 1, length, file_); }

 private:
  std::FILE* file_;
  std::uint64_t size_;
};

class TStdioOpener final : public IAttachmentOpener {
 public:
  std::unique_ptr<IAttachmentSource> Open(const std::u16string& path) override {
    std::FILE* file = std::fopen(kelvane::Utf16ToUtf8(path).c_str(), "rb");
    if (!file) return nullptr;
    long long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = ftello(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
      std::fclose(file);
      return nullptr;
    }
    return std::make_unique<TStdioAttachment>(file, static_cast<std::uint64_t>(size));
  }
};

}  // namespace

IAttachmentOpener& DefaultAttachmentOpener() {
  static TStdioOpener opener;
  return opener;
}

}  // namespace ruvex
