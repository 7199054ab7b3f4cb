#include "reporter/core/startup/RestartHandover.h"

namespace ruvex {
namespace {

void Put(std::string& out, std::uint64_t v, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint64_t Get(std::string_view in, std::size_t at, int width) {
  std::uint64_t v = 0;
  for (int i = 0; i < width; ++i) v |= std::uint64_t(static_cast<unsigned char>(in[at + i])) << (8 * i);
  return v;
}

}  // namespace

std::string EncodeRestartHandover(const TRestartHandover& handover) {
  std::string out;
  Put(out, handover.previousProcessId, 4);
  Put(out, 0, 4);
  Put(out, handover.handleToClose, 8);
  for (auto t : handover.exceptionTimes) Put(out, t, 8);
  return out;
}

std::optional<TRestartHandover> DecodeRestartHandover(std::string_view block) {
  if (block.size() < kRestartBlockSize) return std::nullopt;
  TRestartHandover handover;
  handover.previousProcessId = static_cast<std::uint32_t>(Get(block, 0, 4));
  handover.handleToClose = Get(block, 8, 8);
  for (std::size_t i = 0; i < handover.exceptionTimes.size(); ++i) handover.exceptionTimes[i] = Get(block, 16 + 8 * i, 8);
  return handover;
}

bool ShouldWaitForPredecessor(const TRestartHandover& handover, std::uint32_t ownProcessId) {
  return handover.previousProcessId != 0 && handover.previousProcessId != ownProcessId;
}

}  // namespace ruvex
