// The system's message texts through FormatMessage.
#include <windows.h>

#include "common/win/WinText_win.h"
#include "reporter/core/report/ErrorCodeText.h"

namespace ruvex {
namespace {

constexpr DWORD kFirstNetworkCode = 2100, kLastNetworkCode = 2999;
// The status conversion's answer when it knows no Win32 code.
constexpr ULONG kNoDosError = ERROR_MR_MID_NOT_FOUND;

DWORD Win32CodeOf(std::uint32_t code) {
  if (code <= 0x3FFFFFFF) return code;
  static constexpr TScrambledText kModule("ntdll.dll");
  static constexpr TScrambledText kRoutine("RtlNtStatusToDosError");
  using TConvert = ULONG(WINAPI*)(LONG);
  HMODULE module = GetModuleHandleA(kModule.Plain().c_str());
  auto convert = module ? reinterpret_cast<TConvert>(
                              reinterpret_cast<void*>(GetProcAddress(module, kRoutine.Plain().c_str())))
                        : nullptr;
  if (!convert) return code;
  const ULONG converted = convert(static_cast<LONG>(code));
  return converted == kNoDosError ? code : converted;
}

std::u16string FormatFrom(DWORD flags, HMODULE module, DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(flags | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS, module, code,
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text = length && buffer ? kelvane::FromWide(buffer, length) : std::u16string();
  if (buffer) LocalFree(buffer);
  return CleanSystemMessage(text);
}

std::u16string NetworkMessage(DWORD code) {
  static constexpr TScrambledText kNetworkModule("netmsg.dll");
  HMODULE module = LoadLibraryExA(kNetworkModule.Plain().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return {};
  std::u16string text = FormatFrom(FORMAT_MESSAGE_FROM_HMODULE, module, code);
  FreeLibrary(module);
  return text;
}

}  // namespace

std::u16string ErrorCodeToText(std::uint32_t code) {
  const DWORD win32 = Win32CodeOf(code);
  std::u16string text = FormatFrom(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, win32);
  if (text.empty() && win32 >= kFirstNetworkCode && win32 <= kLastNetworkCode) text = NetworkMessage(win32);
  return text.empty() ? UnknownErrorText(code) : text;
}

}  // namespace ruvex
