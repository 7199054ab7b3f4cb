#pragma once
// Threads of a process in memory for the thread sections' tests.
#include <map>

#include "common/text/HexText.h"
#include "reporter/core/threads/ThreadAccess.h"

namespace ruvex {

class TFakeThreadAccess : public IThreadAccess {
 public:
  struct TThread {
    std::optional<TThreadState> state;  // none: cannot be opened
    std::u16string name;                // "-": a reporter thread
    std::uintptr_t creatorAddress = 0;
    std::uint32_t creatorThreadId = 0;
  };
  std::map<std::uint32_t, TThread> threads;
  std::vector<std::uint32_t> order;
  std::uint32_t mainThread = 0;

  void Add(std::uint32_t id, TThread thread) {
    threads[id] = std::move(thread);
    order.push_back(id);
  }
  std::optional<TThreadState> QueryThreadState(std::uint32_t id) override {
    const auto it = threads.find(id);
    return it == threads.end() ? std::nullopt : it->second.state;
  }
  std::vector<std::uint32_t> ThreadIds() override { return order; }
  std::uint32_t MainThreadId() override { return mainThread; }
  TThreadDescription Describe(std::uint32_t id, bool force) override {
    const auto it = threads.find(id);
    const std::u16string hex = u"$" + kelvane::HexLower16(id);
    if (it == threads.end()) return {u"thread " + hex};
    if (it->second.name == u"-") return {force ? u"thread " + hex : u""};
    const std::u16string text = it->second.name.empty() ? u"thread " + hex : it->second.name + u" (" + hex + u")";
    return {text, it->second.creatorAddress, it->second.creatorThreadId};
  }
};

}  // namespace ruvex
