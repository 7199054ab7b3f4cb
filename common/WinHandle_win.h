#pragma once
// Owner of a Windows kernel handle: closed when the owner goes. Both null and
// INVALID_HANDLE_VALUE count as no handle.
#include <windows.h>

namespace kelvane {

class TWinHandle {
 public:
  TWinHandle() = default;
  explicit TWinHandle(HANDLE h) : handle_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  ~TWinHandle() { Reset(); }
  TWinHandle(TWinHandle&& other) noexcept : handle_(other.Release()) {}
  TWinHandle& operator=(TWinHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = other.Release();
    }
    return *this;
  }
  HANDLE Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  HANDLE Release() {
    HANDLE h = handle_;
    handle_ = nullptr;
    return h;
  }
  void Reset() {
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace kelvane
