#include "tools/settings/EmbedResource.h"

#include <windows.h>

#include "common/text/Utf.h"

namespace {

std::string LastErrorText(const char* what) {
  return std::string(what) + " failed (error " + std::to_string(GetLastError()) + ")";
}

// Discards the pending update unless committed.
class TResourceUpdate {
 public:
  explicit TResourceUpdate(const std::u16string& file)
      : handle_(BeginUpdateResourceW(reinterpret_cast<const wchar_t*>(file.c_str()), FALSE)) {}
  ~TResourceUpdate() {
    if (handle_) EndUpdateResourceW(handle_, TRUE);
  }
  HANDLE Get() const { return handle_; }
  bool Commit() {
    HANDLE h = handle_;
    handle_ = nullptr;
    return EndUpdateResourceW(h, FALSE) != 0;
  }

 private:
  HANDLE handle_;
};

}  // namespace

std::string EmbedSettingsBlock(const std::string& targetUtf8, const std::string& block) {
  TResourceUpdate update(kelvane::Utf8ToUtf16(targetUtf8));
  if (!update.Get()) return LastErrorText("BeginUpdateResource");
  if (!UpdateResourceW(update.Get(), reinterpret_cast<LPCWSTR>(RT_RCDATA), L"TRUVEXEXCEPT",
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), const_cast<char*>(block.data()),
                       static_cast<DWORD>(block.size())))
    return LastErrorText("UpdateResource");
  if (!update.Commit()) return LastErrorText("EndUpdateResource");
  return {};
}
