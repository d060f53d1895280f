// Push button: a system button; its click arrives as a reflected BN_CLICKED.
#include "platform/gui/win32/kinds.h"

namespace platform::gui::win32 {

bool PushButtonPeer::onReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
    if (node_.spec.clicked) detail::callRoutine([&] { node_.spec.clicked(); });
    result = 0;
    return true;
  }
  return ChildPeer::onReflected(msg, wp, lp, result);
}

}  // namespace platform::gui::win32
