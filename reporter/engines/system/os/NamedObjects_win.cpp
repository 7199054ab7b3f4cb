#include "reporter/engines/system/os/NamedObjects_win.h"

#include <sddl.h>

#include <cwchar>
#include <vector>

namespace ruvex {
namespace {

// The SID of the process's user as text, empty when unknown.
std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  TWinHandle owned(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<unsigned char> buffer(size);
  if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return {};
  std::wstring sid(text);
  LocalFree(text);
  return sid;
}

}  // namespace

std::wstring ProcessObjectName(const wchar_t* stem, DWORD processId) {
  wchar_t id[16];
  std::swprintf(id, 16, L"%lx", static_cast<unsigned long>(processId));
  return std::wstring(stem) + L"$" + id;
}

TNamedObjectSecurity::TNamedObjectSecurity() {
  std::wstring user = CurrentUserSid();
  if (user.empty()) return;
  std::wstring sddl = L"D:(A;;0x4;;;WD)(A;;0x1fffff;;;SY)(A;;0x1fffff;;;" + user + L")";
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor_, nullptr)) {
    descriptor_ = nullptr;
    return;
  }
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = descriptor_;
  attributes_.bInheritHandle = FALSE;
}

TNamedObjectSecurity::~TNamedObjectSecurity() {
  if (descriptor_) LocalFree(descriptor_);
}

}  // namespace ruvex
