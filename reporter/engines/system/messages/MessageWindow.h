#pragma once
// Per-thread hidden message windows whose messages go to registered
// handlers (Windows). One process-wide list, guarded by one mutex, holds
// the windows and their handlers; it is released at the end of the process.
#include <cstdint>

#include "reporter/engines/system/messages/MessageHandlers.h"

namespace ruvex {

// The thread's hidden window (a message-only tool window). It is created
// only when the thread itself asks; for another thread the existing window
// or none.
kelvane::TWindowHandle ThreadMessageWindow(std::uint32_t threadId);

// Adds a handler to the window (see TMessageHandlerList::Add) and lets the
// message through the window's message filter; returns the message or 0
// when the window is not one of these windows.
std::uint32_t AddMsgHandler(kelvane::TWindowHandle window, std::uint32_t message, TMsgHandler handler);
std::uint32_t AddMsgHandler(kelvane::TWindowHandle window, std::uint32_t message, TMsgHandlerOO handler);
bool DelMsgHandler(kelvane::TWindowHandle window, std::uint32_t message, TMsgHandler handler);
bool DelMsgHandler(kelvane::TWindowHandle window, std::uint32_t message, TMsgHandlerOO handler);

// Lets `message` reach the window from less privileged processes, through
// the per-window filter where the system has one, else the process-wide one.
bool AllowMessage(kelvane::TWindowHandle window, std::uint32_t message);

}  // namespace ruvex
