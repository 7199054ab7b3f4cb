#pragma once
// Small owners of Windows handles and views, and the reporter's names of
// kernel objects ("name$" and the process id in lowercase hexadecimal).
#include <windows.h>
#include "common/WinHandle_win.h"

#include <string>

namespace ruvex {

using kelvane::TWinHandle;

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
    DWORD r = mutex ? WaitForSingleObject(mutex, timeoutMs) : WAIT_FAILED;
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
