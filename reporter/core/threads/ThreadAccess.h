#pragma once
// What the thread sections ask of the process whose threads they list: the
// threads, their state, and their descriptions from the thread registry.
// The Windows half serves the own process; tests give a fake.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reporter/core/startup/ThreadList.h"
#include "reporter/core/threads/ThreadContext.h"

namespace ruvex {

struct TThreadState {
  Address stackBottom = 0, stackTop = 0;
  bool suspended = false;
  int priority = 0;  // 0: normal
  TThreadContext context;
};

class IThreadAccess {
 public:
  virtual ~IThreadAccess() = default;
  // None when the thread cannot be opened or its registers read.
  virtual std::optional<TThreadState> QueryThreadState(std::uint32_t threadId) = 0;
  // The process's threads in the system's order.
  virtual std::vector<std::uint32_t> ThreadIds() = 0;
  virtual std::uint32_t MainThreadId() = 0;
  // An empty text (a reporter thread) unless `force`.
  virtual TThreadDescription Describe(std::uint32_t threadId, bool force) = 0;
};

}  // namespace ruvex
