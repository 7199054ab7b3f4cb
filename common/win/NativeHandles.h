#pragma once
// Native handles as they cross portable code: each kind is a type of its
// own, so that the compiler refuses a module where a window is wanted. The
// value is the handle's bits; only the Windows halves make or use it
// (common/NativeHandles_win.h converts).
#include <compare>
#include <cstdint>

namespace kelvane {

template <class Kind>
class TNativeHandle {
 public:
  constexpr TNativeHandle() = default;
  constexpr explicit TNativeHandle(std::uintptr_t value) : value_(value) {}
  constexpr std::uintptr_t Value() const { return value_; }
  constexpr explicit operator bool() const { return value_ != 0; }
  constexpr auto operator<=>(const TNativeHandle&) const = default;

 private:
  std::uintptr_t value_ = 0;
};

using TWindowHandle = TNativeHandle<struct TWindowKind>;          // a window (HWND)
using TModuleHandle = TNativeHandle<struct TModuleKind>;          // a loaded module (HMODULE)
using TDeviceContext = TNativeHandle<struct TDeviceContextKind>;  // a device context (HDC)
using TKernelHandle = TNativeHandle<struct TKernelKind>;          // a kernel object: event, thread (HANDLE)

}  // namespace kelvane
