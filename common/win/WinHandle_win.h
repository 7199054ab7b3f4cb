#pragma once
// Owners of Windows handles: each releases what it holds when it goes.
#include <windows.h>

namespace kelvane {

// A kernel handle, closed by CloseHandle. Both null and
// INVALID_HANDLE_VALUE count as no handle.
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

// A view of a file mapping, unmapped when the owner goes.
class TMappedView {
 public:
  TMappedView() = default;
  TMappedView(HANDLE mapping, DWORD access, SIZE_T size) : view_(MapViewOfFile(mapping, access, 0, 0, size)) {}
  ~TMappedView() {
    if (view_) UnmapViewOfFile(view_);
  }
  TMappedView(const TMappedView&) = delete;
  TMappedView& operator=(const TMappedView&) = delete;
  void* Get() const { return view_; }
  // Size of the mapped region as the memory manager reports it.
  SIZE_T RegionSize() const {
    MEMORY_BASIC_INFORMATION info{};
    return view_ && VirtualQuery(view_, &info, sizeof info) == sizeof info ? info.RegionSize : 0;
  }

 private:
  void* view_ = nullptr;
};

// Holds a mutex for the length of a scope; Locked() is false when the wait
// failed or timed out. An abandoned mutex counts as taken.
class TMutexLock {
 public:
  TMutexLock(HANDLE mutex, DWORD timeoutMs) : mutex_(mutex) {
    const DWORD r = mutex ? WaitForSingleObject(mutex, timeoutMs) : WAIT_FAILED;
    locked_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
  }
  ~TMutexLock() {
    if (locked_) ReleaseMutex(mutex_);
  }
  TMutexLock(const TMutexLock&) = delete;
  TMutexLock& operator=(const TMutexLock&) = delete;
  bool Locked() const { return locked_; }

 private:
  HANDLE mutex_;
  bool locked_ = false;
};

// A loaded library, freed when the owner goes.
class TLibrary {
 public:
  TLibrary() = default;
  explicit TLibrary(HMODULE module) : module_(module) {}
  ~TLibrary() { Reset(); }
  TLibrary(TLibrary&& other) noexcept : module_(other.module_) { other.module_ = nullptr; }
  TLibrary& operator=(TLibrary&& other) noexcept {
    if (this != &other) {
      Reset();
      module_ = other.module_;
      other.module_ = nullptr;
    }
    return *this;
  }
  HMODULE Get() const { return module_; }
  explicit operator bool() const { return module_ != nullptr; }
  void Reset() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
  }

 private:
  HMODULE module_ = nullptr;
};

}  // namespace kelvane
