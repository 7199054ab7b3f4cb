#pragma once
// Which threads a pause holds, and on which event each waits. Pausing is
// cooperative: a thread waits when it next retrieves a message.
#include <cstdint>
#include <functional>
#include <vector>

namespace ruvex {

struct TPauseCandidates {
  std::vector<std::uint32_t> processThreads;
  std::uint32_t callingThread = 0;
  std::uint32_t mainThread = 0;
  std::uint32_t sparedThread = 0;
  // Whether the thread was created by code of a module that carries the
  // reporter; threads of the system and of foreign modules go on running.
  std::function<bool(std::uint32_t)> createdByReporterModule;
};

// Every thread of the process except the calling, the main and the spared
// thread and those not created by a module that carries the reporter.
std::vector<std::uint32_t> PauseList(const TPauseCandidates& candidates);

enum class TPauseWait { none, mainEvent, otherEvent };

// The wait of a thread that retrieves a message while a pause is on: the
// main thread has its own event (it is let go while synchronised handlers
// run), listed threads share the other; a spared or unlisted thread and
// the calling thread do not wait.
TPauseWait PauseWaitOf(std::uint32_t threadId, std::uint32_t mainThread, std::uint32_t sparedThread,
                       std::uint32_t callingThread, const std::vector<std::uint32_t>& listed);

}  // namespace ruvex
