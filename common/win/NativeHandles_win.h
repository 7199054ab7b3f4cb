#pragma once
// Between the portable handle types and the Windows API's own.
#include <windows.h>

#include "common/win/NativeHandles.h"

namespace kelvane {

inline HWND ToHwnd(TWindowHandle h) { return reinterpret_cast<HWND>(h.Value()); }
inline TWindowHandle FromHwnd(HWND h) { return TWindowHandle(reinterpret_cast<std::uintptr_t>(h)); }
inline HMODULE ToHmodule(TModuleHandle h) { return reinterpret_cast<HMODULE>(h.Value()); }
inline TModuleHandle FromHmodule(HMODULE h) { return TModuleHandle(reinterpret_cast<std::uintptr_t>(h)); }
inline HDC ToHdc(TDeviceContext h) { return reinterpret_cast<HDC>(h.Value()); }
inline TDeviceContext FromHdc(HDC h) { return TDeviceContext(reinterpret_cast<std::uintptr_t>(h)); }
inline HANDLE ToHandle(TKernelHandle h) { return reinterpret_cast<HANDLE>(h.Value()); }
inline TKernelHandle FromHandle(HANDLE h) { return TKernelHandle(reinterpret_cast<std::uintptr_t>(h)); }

}  // namespace kelvane
