#pragma once
// The reporter's named kernel objects: their names ("name$" and the process
// id in lowercase hexadecimal) and their security.
#include <windows.h>
#include "common/win/WinHandle_win.h"

#include <string>

namespace ruvex {

using kelvane::TMappedView;
using kelvane::TMutexLock;
using kelvane::TWinHandle;

std::wstring ProcessObjectName(const wchar_t* stem, DWORD processId);

// The security of the reporter's named objects: everyone may synchronize
// (mask 4), the local system and the process's user have full access.
// When that list cannot be built, Get() is nullptr, which means the default
// security of the process, never an unrestricted object.
class TNamedObjectSecurity {
 public:
  TNamedObjectSecurity();
  ~TNamedObjectSecurity();
  TNamedObjectSecurity(const TNamedObjectSecurity&) = delete;
  TNamedObjectSecurity& operator=(const TNamedObjectSecurity&) = delete;
  SECURITY_ATTRIBUTES* Get() { return descriptor_ ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace ruvex
