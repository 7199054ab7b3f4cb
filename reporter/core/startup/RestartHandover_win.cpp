#include "reporter/core/startup/RestartHandover_win.h"

#include <string>

namespace ruvex {
namespace {

std::wstring BlockName(DWORD processId) { return ProcessObjectName(L"RuvexExceptRestart", processId); }

// True only when `handle` refers to the same kernel object as `ours`; a
// handle value that names anything else in this process is left alone.
bool IsSameObject(HANDLE handle, HANDLE ours) {
  using TCompare = BOOL(WINAPI*)(HANDLE, HANDLE);
  HMODULE kernelBase = GetModuleHandleW(L"kernelbase.dll");
  auto compare = kernelBase ? reinterpret_cast<TCompare>(
                                  reinterpret_cast<void*>(GetProcAddress(kernelBase, "CompareObjectHandles")))
                            : nullptr;
  if (compare) return compare(handle, ours) != FALSE;
  // Without the system's comparison: the handle must map as a section, and
  // a write through our view must show through its view.
  DWORD flags = 0;
  if (!GetHandleInformation(handle, &flags)) return false;
  TMappedView theirs(handle, FILE_MAP_READ, kRestartBlockSize);
  TMappedView mine(ours, FILE_MAP_READ | FILE_MAP_WRITE, kRestartBlockSize);
  if (!theirs.Get() || !mine.Get()) return false;
  auto* a = static_cast<volatile std::uint64_t*>(theirs.Get());
  auto* b = static_cast<volatile std::uint64_t*>(mine.Get());
  // Writing through one view must show in the other: the same section.
  std::uint64_t saved = b[1];
  b[1] = saved ^ 0x5a5a5a5a5a5a5a5aull;
  bool same = a[1] == b[1];
  b[1] = saved;
  return same;
}

}  // namespace

TWinHandle OfferRestartHandover(HANDLE child, DWORD childProcessId,
                                const std::array<std::uint64_t, 10>& exceptionTimes, DWORD predecessorId) {
  TNamedObjectSecurity security;
  TWinHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, security.Get(), PAGE_READWRITE, 0,
                                        static_cast<DWORD>(kRestartBlockSize), BlockName(childProcessId).c_str()));
  if (!mapping) return {};
  HANDLE inChild = nullptr;
  DuplicateHandle(GetCurrentProcess(), mapping.Get(), child, &inChild, FILE_MAP_READ, FALSE, 0);
  TRestartHandover handover;
  handover.previousProcessId = predecessorId ? predecessorId : GetCurrentProcessId();
  handover.handleToClose = reinterpret_cast<std::uintptr_t>(inChild);
  handover.exceptionTimes = exceptionTimes;
  std::string block = EncodeRestartHandover(handover);
  TMappedView view(mapping.Get(), FILE_MAP_WRITE, kRestartBlockSize);
  if (!view.Get()) return {};
  CopyMemory(view.Get(), block.data(), block.size());
  return mapping;
}

std::optional<TRestartHandover> TakeOverRestart(DWORD waitMs) {
  TWinHandle mapping(OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, BlockName(GetCurrentProcessId()).c_str()));
  if (!mapping) return std::nullopt;
  std::optional<TRestartHandover> handover;
  {
    TMappedView view(mapping.Get(), FILE_MAP_READ, 0);
    if (!view.Get() || view.RegionSize() < kRestartBlockSize) return std::nullopt;
    handover = DecodeRestartHandover(std::string_view(static_cast<const char*>(view.Get()), kRestartBlockSize));
  }
  if (!handover || !ShouldWaitForPredecessor(*handover, GetCurrentProcessId())) return std::nullopt;

  HANDLE named = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(handover->handleToClose));
  if (named && named != mapping.Get() && IsSameObject(named, mapping.Get())) CloseHandle(named);

  // A predecessor that cannot be opened has already ended (the usual case
  // after a restart): the hand-over stands, there is only nothing to wait for.
  TWinHandle predecessor(OpenProcess(SYNCHRONIZE, FALSE, handover->previousProcessId));
  if (predecessor) WaitForSingleObject(predecessor.Get(), waitMs);
  return handover;
}

}  // namespace ruvex
