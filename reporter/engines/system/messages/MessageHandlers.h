#pragma once
// Message handlers of the per-thread hidden message windows. The list
// logic is here, apart from the windows themselves (MessageWindow.h), so
// that it is tested anywhere.
#include <cstdint>
#include <vector>

#include "common/win/NativeHandles.h"

namespace ruvex {

// One message as the window procedure received it; handlers may set `result`.
struct TMessage {
  kelvane::TWindowHandle window;
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  std::intptr_t result = 0;  // the default window procedure's result at first
};

// A plain procedure, or a method: a function taking the object first.
using TMsgHandler = void (*)(TMessage& message);
struct TMsgHandlerOO {
  void* object = nullptr;
  void (*method)(void* object, TMessage& message) = nullptr;
  bool operator==(const TMsgHandlerOO&) const = default;
};

// Messages for handlers that ask for a free one start here (WM_USER).
constexpr std::uint32_t kFirstFreeMessage = 1024;

// Whether the window procedure passes `message` on to the handlers: a few
// system broadcasts between 16 and 127, and every message above 535.
bool MessageReachesHandlers(std::uint32_t message);

// The handlers of one window. Not locked: the window list that owns it is.
class TMessageHandlerList {
 public:
  struct TEntry {
    std::uint32_t message = 0;
    TMsgHandler handler = nullptr;
    TMsgHandlerOO handlerOO;
    bool operator==(const TEntry&) const = default;
  };

  // Adds a handler for `message`, or for the first free message from 1024
  // on when it is 0; returns the message. The same handler is not added
  // twice for one message (for 0: a handler already on a free message
  // keeps it). Returns 0 when no handler is given.
  std::uint32_t Add(std::uint32_t message, TMsgHandler handler);
  std::uint32_t Add(std::uint32_t message, TMsgHandlerOO handler);
  // Removes the handler from `message` (every message when 0).
  bool Remove(std::uint32_t message, TMsgHandler handler);
  bool Remove(std::uint32_t message, TMsgHandlerOO handler);

  bool Handles(std::uint32_t message) const;
  std::vector<TEntry> HandlersFor(std::uint32_t message) const;
  bool Empty() const { return entries_.empty(); }

 private:
  std::uint32_t Add(std::uint32_t message, const TEntry& entry);
  bool Remove(std::uint32_t message, const TEntry& entry);
  std::vector<TEntry> entries_;
};

}  // namespace ruvex
