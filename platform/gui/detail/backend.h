#pragma once
// What a backend gives the backend-neutral core (core.cpp).
#include <functional>
#include <memory>

#include "platform/gui/detail/node.h"

namespace platform::gui::detail {

// Runs `f` on the GUI thread and waits for it; inline when already there.
// Returns false when the call could not run (the program is ending).
bool runOnGuiThread(const std::function<void()>& f);
// Queues `f` for the GUI thread and returns at once.
void postToGuiThread(std::function<void()> f);

std::unique_ptr<WindowPeer> makeWindowPeer(WindowNode& window);
std::unique_ptr<ControlPeer> makeControlPeer(ControlNode& control);

// True while the program is ending: routines are no longer run.
bool programEnding();

}  // namespace platform::gui::detail
