#include "reporter/core/settings/SettingsAnchor_win.h"

#include <windows.h>

#include <new>

#include "reporter/engines/system/os/NamedObjects_win.h"

namespace ruvex {
namespace {

constexpr DWORD kMutexTimeoutMs = 10000;

TWinHandle OpenSettingsMutex(TNamedObjectSecurity& security) {
  std::wstring name = ProcessObjectName(L"RuvexExceptSettingsMtx", GetCurrentProcessId());
  return TWinHandle(CreateMutexW(security.Get(), FALSE, name.c_str()));
}

TSettingsControl* CreateControl(HANDLE mapping) {
  void* memory = VirtualAlloc(nullptr, sizeof(TSettingsControl), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!memory) return nullptr;
  auto* control = new (memory) TSettingsControl();
  control->ownerProcess = GetCurrentProcessId();
  control->mapping = reinterpret_cast<std::uintptr_t>(mapping);
  return control;
}

void DestroyControl(TSettingsControl* control) {
  HANDLE mapping = reinterpret_cast<HANDLE>(control->mapping);
  control->magic = 0;
  control->~TSettingsControl();
  VirtualFree(control, 0, MEM_RELEASE);
  if (mapping) CloseHandle(mapping);
}

}  // namespace

bool IsTrustedSettingsControl(const TSettingsBufferView& view, std::uint32_t processId) {
  if (view.magic != kSettingsControlMagic || view.ownerProcess != processId || !view.control) return false;
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(view.control, &info, sizeof info) != sizeof info) return false;
  auto start = reinterpret_cast<std::uintptr_t>(info.BaseAddress);
  auto at = reinterpret_cast<std::uintptr_t>(view.control);
  if (info.State != MEM_COMMIT || info.Type != MEM_PRIVATE || info.Protect != PAGE_READWRITE ||
      at + sizeof(TSettingsControl) > start + info.RegionSize)
    return false;
  return view.control->magic == kSettingsControlMagic && view.control->ownerProcess == processId;
}

TSettingsControl* TNamedSettingsAnchor::Acquire() {
  TNamedObjectSecurity security;
  TWinHandle mutex = OpenSettingsMutex(security);
  TMutexLock hold(mutex.Get(), kMutexTimeoutMs);
  if (!hold.Locked()) return nullptr;

  std::wstring name = ProcessObjectName(L"RuvexExceptSettingsBuf2", GetCurrentProcessId());
  TWinHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, security.Get(), PAGE_READWRITE, 0,
                                        sizeof(TSettingsBufferView), name.c_str()));
  if (!mapping) return nullptr;
  bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  TMappedView view(mapping.Get(), FILE_MAP_READ | FILE_MAP_WRITE, sizeof(TSettingsBufferView));
  if (!view.Get() || view.RegionSize() < sizeof(TSettingsBufferView)) return nullptr;
  auto* buffer = static_cast<TSettingsBufferView*>(view.Get());

  if (existed) {
    TSettingsBufferView copy = *buffer;
    if (!IsTrustedSettingsControl(copy, GetCurrentProcessId())) return nullptr;
    ++copy.control->refCount;
    return copy.control;
  }
  // The first module of the process: the control block keeps the mapping
  // open for as long as the list lives.
  TSettingsControl* control = CreateControl(mapping.Get());
  if (!control) return nullptr;
  mapping.Release();
  *buffer = {kSettingsControlMagic, GetCurrentProcessId(), control};
  control->refCount = 1;
  return control;
}

void TNamedSettingsAnchor::Release(TSettingsControl* control) {
  if (!control) return;
  TNamedObjectSecurity security;
  TWinHandle mutex = OpenSettingsMutex(security);
  TMutexLock hold(mutex.Get(), kMutexTimeoutMs);
  // Without the mutex the count stays: a leaked list beats a freed one in use.
  if (!hold.Locked()) return;
  if (--control->refCount > 0) return;
  DestroyControl(control);
}

}  // namespace ruvex
