#include "reporter/engines/system/messages/MessageHandlers.h"

#include <algorithm>
#include <bitset>

namespace ruvex {
namespace {

// The system messages from 16 to 127 that reach the handlers: session
// end, settings and device changes, power, copy data, display changes.
std::bitset<112> SystemMessagesForHandlers() {
  std::bitset<112> set;
  for (const std::uint32_t m : {0x0010u /* close */, 0x0011u /* query end session */, 0x0016u /* end session */,
                                0x001Au /* setting change */, 0x001Bu /* device mode change */,
                                0x001Cu /* activate app */, 0x001Du /* font change */, 0x001Eu /* time change */,
                                0x0048u /* power */, 0x004Au /* copy data */, 0x0054u /* user changed */,
                                0x007Eu /* display change */})
    set.set(m - 16);
  return set;
}

}  // namespace

bool MessageReachesHandlers(std::uint32_t message) {
  static const std::bitset<112> system = SystemMessagesForHandlers();
  if (message > 535) return true;
  return message >= 16 && message < 128 && system.test(message - 16);
}

std::uint32_t TMessageHandlerList::Add(std::uint32_t message, const TEntry& entry) {
  auto same = [&](std::uint32_t m) {
    return [&entry, m](const TEntry& e) { return e.message == m && e.handler == entry.handler && e.handlerOO == entry.handlerOO; };
  };
  if (message == 0) {
    for (const TEntry& e : entries_)
      if (e.message >= kFirstFreeMessage && e.handler == entry.handler && e.handlerOO == entry.handlerOO) return e.message;
    message = kFirstFreeMessage;
    while (Handles(message)) ++message;
  } else if (std::any_of(entries_.begin(), entries_.end(), same(message))) {
    return message;
  }
  TEntry added = entry;
  added.message = message;
  entries_.push_back(added);
  return message;
}

std::uint32_t TMessageHandlerList::Add(std::uint32_t message, TMsgHandler handler) {
  return handler ? Add(message, TEntry{0, handler, {}}) : 0;
}

std::uint32_t TMessageHandlerList::Add(std::uint32_t message, TMsgHandlerOO handler) {
  return handler.method ? Add(message, TEntry{0, nullptr, handler}) : 0;
}

bool TMessageHandlerList::Remove(std::uint32_t message, const TEntry& entry) {
  const auto before = entries_.size();
  std::erase_if(entries_, [&](const TEntry& e) {
    return (message == 0 || e.message == message) && e.handler == entry.handler && e.handlerOO == entry.handlerOO;
  });
  return entries_.size() != before;
}

bool TMessageHandlerList::Remove(std::uint32_t message, TMsgHandler handler) {
  return Remove(message, TEntry{0, handler, {}});
}

bool TMessageHandlerList::Remove(std::uint32_t message, TMsgHandlerOO handler) {
  return Remove(message, TEntry{0, nullptr, handler});
}

bool TMessageHandlerList::Handles(std::uint32_t message) const {
  return std::any_of(entries_.begin(), entries_.end(), [&](const TEntry& e) { return e.message == message; });
}

std::vector<TMessageHandlerList::TEntry> TMessageHandlerList::HandlersFor(std::uint32_t message) const {
  std::vector<TEntry> out;
  std::copy_if(entries_.begin(), entries_.end(), std::back_inserter(out),
               [&](const TEntry& e) { return e.message == message; });
  return out;
}

}  // namespace ruvex
