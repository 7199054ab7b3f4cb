// Attachment files through the Windows API: shared for reading and writing,
// as the reporter's own files may still be open elsewhere.
#include <windows.h>

#include "common/win/WinHandle_win.h"
#include "common/win/WinText_win.h"
#include "reporter/delivery/smtp/AttachmentFiles.h"

namespace ruvex {
namespace {

class TWinAttachment final : public IAttachmentSource {
 public:
  TWinAttachment(kelvane::TWinHandle file, std::uint64_t size) : file_(std::move(file)), size_(size) {}
  std::uint64_t Size() override { return size_; }
  bool Rewind() override {
    LARGE_INTEGER start{};
    return ::SetFilePointerEx(file_.Get(), start, nullptr, FILE_BEGIN) != 0;
  }
  std::size_t Read(char* buffer, std::size_t length) override {
    DWORD got = 0;
    const DWORD want = length > 0x10000 ? 0x10000 : static_cast<DWORD>(length);
    if (!::ReadFile(file_.Get(), buffer, want, &got, nullptr)) return 0;
    return got;
  }

 private:
  kelvane::TWinHandle file_;
  std::uint64_t size_;
};

class TWinOpener final : public IAttachmentOpener {
 public:
  std::unique_ptr<IAttachmentSource> Open(const std::u16string& path) override {
    kelvane::TWinHandle file(::CreateFileW(kelvane::Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size)) return nullptr;
    return std::make_unique<TWinAttachment>(std::move(file), static_cast<std::uint64_t>(size.QuadPart));
  }
};

}  // namespace

IAttachmentOpener& DefaultAttachmentOpener() {
  static TWinOpener opener;
  return opener;
}

}  // namespace ruvex
