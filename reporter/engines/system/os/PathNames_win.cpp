#include <windows.h>

#include "reporter/engines/system/os/PathNames.h"

namespace ruvex {
namespace {

class TSystemDirectorySearch : public IDirectorySearch {
 public:
  std::optional<TFoundName> Find(const std::u16string& path) const override {
    WIN32_FIND_DATAW data{};
    const HANDLE h = FindFirstFileW(reinterpret_cast<const wchar_t*>(path.c_str()), &data);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    FindClose(h);
    return TFoundName{reinterpret_cast<const char16_t*>(data.cFileName),
                      reinterpret_cast<const char16_t*>(data.cAlternateFileName)};
  }
};

}  // namespace

std::u16string LongPathName(const std::u16string& path) { return LongPathName(path, TSystemDirectorySearch()); }

std::u16string ShortPathName(const std::u16string& path) { return ShortPathName(path, TSystemDirectorySearch()); }

}  // namespace ruvex
