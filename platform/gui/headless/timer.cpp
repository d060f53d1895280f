// Headless timer: ticks on the virtual clock.
#include <algorithm>

#include "platform/gui/headless/state.h"

namespace platform::gui::headless::internal {

TimerPeer::TimerPeer(detail::ControlNode& node) : ControlPeer(node) { state().timers.push_back(this); }

TimerPeer::~TimerPeer() {
  auto& timers = state().timers;
  timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
}

void TimerPeer::create() {
  if (running()) due = state().now + node_.spec.period;
}

void TimerPeer::periodChanged(int) {
  if (running()) due = state().now + node_.spec.period;
}

bool TimerPeer::running() const { return node_.spec.period > 0 && node_.window->alive; }

}  // namespace platform::gui::headless::internal
