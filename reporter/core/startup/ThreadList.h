#pragma once
// The thread registry's list: names and creator information of threads, so
// that reports can say which thread is which. Portable; the Windows half
// keeps it in a named block shared by the modules of the process.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruvex {

struct TThreadEntry {
  std::uint32_t threadId = 0;
  std::u16string name;
  std::u16string className;
  std::uintptr_t creatorAddress = 0;
  std::uint32_t creatorThreadId = 0;
  std::uintptr_t threadHandle = 0;  // opened with synchronize + query access
};

class TThreadList {
 public:
  // Ends an entry's handle; told whether a handle is signalled (thread ended).
  struct THandles {
    std::function<bool(std::uintptr_t)> hasEnded;
    std::function<void(std::uintptr_t)> close;
  };

  explicit TThreadList(THandles handles) : handles_(std::move(handles)) {}
  ~TThreadList();
  TThreadList(const TThreadList&) = delete;
  TThreadList& operator=(const TThreadList&) = delete;

  // An empty name removes the name; an entry without name and creator
  // information is removed. `handle` is taken over (0: none).
  void SetName(std::uint32_t threadId, std::u16string name, std::uintptr_t handle = 0);
  void SetCreator(std::uint32_t threadId, std::uintptr_t handle, std::uint32_t creatorThreadId,
                  std::uintptr_t creatorAddress, std::u16string className);
  void Remove(std::uint32_t threadId);
  std::optional<TThreadEntry> Find(std::uint32_t threadId) const;
  const std::vector<TThreadEntry>& Entries() const { return entries_; }
  // Removes the first entry whose thread has ended.
  void PurgeOneEnded();
  // While set (start-up), changes purge nothing.
  void SuspendPurging(bool suspended) { purgingSuspended_ = suspended; }

  std::uint32_t magic = 0x52544C31;  // checked before a shared pointer is trusted

 private:
  TThreadEntry& Ensure(std::uint32_t threadId);
  void Erase(size_t index);
  void Changed();

  THandles handles_;
  std::vector<TThreadEntry> entries_;  // oldest first
  bool purgingSuspended_ = false;
};

struct TThreadDescription {
  std::u16string text;  // empty: a reporter thread, left out of reports
  std::uintptr_t creatorAddress = 0;
  std::uint32_t creatorThreadId = 0;
};

// `entry` is nullopt when the registry does not know the thread;
// `registryAvailable` false when there is no registry or its lock timed out.
TThreadDescription DescribeThread(std::uint32_t threadId, const std::optional<TThreadEntry>& entry,
                                  bool registryAvailable, bool force);

// The debugger's thread-naming exception (code 0x406D1388): information
// {0x1000, name pointer, thread id (-1: the raising thread), flags 0}.
inline constexpr std::uint32_t kThreadNamingException = 0x406D1388;
struct TThreadNaming {
  std::uint32_t threadId;
  std::u16string name;
};
std::optional<TThreadNaming> ParseThreadNamingException(
    std::uint32_t code, const std::uintptr_t* information, std::size_t count, std::uint32_t raisingThreadId,
    const std::function<std::optional<std::string>(std::uintptr_t)>& readText);

}  // namespace ruvex
