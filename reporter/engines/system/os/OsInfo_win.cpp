#include <windows.h>
#include "common/win/WinText_win.h"

#include "reporter/engines/system/os/OsInfo.h"

namespace ruvex {
namespace {

using kelvane::FromWide;

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);


std::u16string FromAnsi(const char* text) {
  std::u16string out;
  for (; *text; ++text) out.push_back(static_cast<unsigned char>(*text));
  return out;
}

void FillFromExtended(const OSVERSIONINFOEXW& v, TOsVersionRecord& r) {
  r.major = v.dwMajorVersion;
  r.minor = v.dwMinorVersion;
  r.build = v.dwBuildNumber;
  r.servicePack = FromWide(v.szCSDVersion);
  r.servicePackMajor = v.wServicePackMajor;
  r.workstation = v.wProductType == VER_NT_WORKSTATION;
}

TOsVersionRecord QueryVersion() {
  TOsVersionRecord r;
  // The high bit of the version word marks the 9x platform.
  if (GetVersion() & 0x80000000u) {
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    GetVersionExA(&v);
    r.nt = false;
    r.extended = false;
    r.major = v.dwMajorVersion;
    r.minor = v.dwMinorVersion;
    r.build = v.dwBuildNumber;
    r.servicePack = FromAnsi(v.szCSDVersion);
    return r;
  }
  OSVERSIONINFOEXW v{};
  v.dwOSVersionInfoSize = sizeof v;
  // The native query is not subject to the compatibility shims that make
  // the documented one report an older version.
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto rtlGetVersion =
      ntdll ? reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion"))) : nullptr;
  if (rtlGetVersion && rtlGetVersion(&v) == 0) {
    FillFromExtended(v, r);
  } else if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v))) {
    FillFromExtended(v, r);
  } else {
    OSVERSIONINFOW basic{};
    basic.dwOSVersionInfoSize = sizeof basic;
    GetVersionExW(&basic);
    r.extended = false;
    r.major = basic.dwMajorVersion;
    r.minor = basic.dwMinorVersion;
    r.build = basic.dwBuildNumber;
    r.servicePack = FromWide(basic.szCSDVersion);
  }
  r.serverR2 = GetSystemMetrics(SM_SERVERR2) != 0;
  r.starter = GetSystemMetrics(SM_STARTER) != 0;
  r.mediaCenter = GetSystemMetrics(SM_MEDIACENTER) != 0;
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  r.amd64 = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
  return r;
}

}  // namespace

const TOS& OsInfo() {
  static const TOS os = DescribeOs(QueryVersion());
  return os;
}

}  // namespace ruvex
