// Timer: a Win32 timer on the control's top-level window. SetTimer with the
// same id restarts it, which is the restart rule for a new period.
#include <map>

#include "platform/gui/win32/kinds.h"

namespace platform::gui::win32 {
namespace {
std::map<UINT_PTR, detail::ControlNode*>& timers() {
  static std::map<UINT_PTR, detail::ControlNode*> all;
  return all;
}
UINT_PTR nextId = 0x7000;
}  // namespace

TimerPeer::~TimerPeer() { timers().erase(id_); }

void TimerPeer::create() {
  id_ = ++nextId;
  timers()[id_] = &node_;
  if (node_.spec.period > 0) SetTimer(topLevelOf(node_), id_, static_cast<UINT>(node_.spec.period), nullptr);
}

void TimerPeer::periodChanged(int) {
  HWND w = topLevelOf(node_);
  if (node_.spec.period > 0) SetTimer(w, id_, static_cast<UINT>(node_.spec.period), nullptr);
  else KillTimer(w, id_);
}

void timerFired(UINT_PTR id) {
  auto it = timers().find(id);
  if (it == timers().end()) return;
  detail::ControlNode* node = it->second;
  if (node->window->alive && node->spec.period > 0 && node->spec.elapsed)
    detail::callRoutine([&] { node->spec.elapsed(); });
}

}  // namespace platform::gui::win32
