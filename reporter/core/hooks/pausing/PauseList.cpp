#include "reporter/core/hooks/pausing/PauseList.h"

#include <algorithm>

namespace ruvex {

std::vector<std::uint32_t> PauseList(const TPauseCandidates& c) {
  std::vector<std::uint32_t> listed;
  for (const std::uint32_t t : c.processThreads) {
    if (t == c.callingThread || t == c.mainThread || t == c.sparedThread) continue;
    if (!c.createdByReporterModule || !c.createdByReporterModule(t)) continue;
    if (std::find(listed.begin(), listed.end(), t) == listed.end()) listed.push_back(t);
  }
  return listed;
}

TPauseWait PauseWaitOf(std::uint32_t threadId, std::uint32_t mainThread, std::uint32_t sparedThread,
                       std::uint32_t callingThread, const std::vector<std::uint32_t>& listed) {
  if (threadId == sparedThread || threadId == callingThread) return TPauseWait::none;
  if (threadId == mainThread) return TPauseWait::mainEvent;
  if (std::find(listed.begin(), listed.end(), threadId) != listed.end()) return TPauseWait::otherEvent;
  return TPauseWait::none;
}

}  // namespace ruvex
