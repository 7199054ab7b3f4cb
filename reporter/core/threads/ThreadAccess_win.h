#pragma once
// The threads of the own process: listed through the system's thread
// snapshot, stopped one at a time to read their registers, and described by
// the thread registry when the reporter has one.
#include <windows.h>

#include "reporter/core/startup/ThreadRegistry_win.h"
#include "reporter/core/threads/ThreadAccess.h"

namespace ruvex {

TThreadContext ContextFromWin(const CONTEXT& context);

class TWinThreadAccess final : public IThreadAccess {
 public:
  // `registry` may be null (a passive reporter); `mainThreadId` 0: the
  // registry's oldest thread, else the process's first.
  explicit TWinThreadAccess(const TThreadRegistry* registry = nullptr, DWORD mainThreadId = 0);

  std::optional<TThreadState> QueryThreadState(std::uint32_t threadId) override;
  std::vector<std::uint32_t> ThreadIds() override;
  std::uint32_t MainThreadId() override;
  TThreadDescription Describe(std::uint32_t threadId, bool force) override;

 private:
  const TThreadRegistry* registry_;
  DWORD mainThreadId_;
};

}  // namespace ruvex
