// The one place that maps a control kind to its headless peer. Kinds that
// only keep state use the generic peer of the core.
#include "platform/gui/detail/backend.h"
#include "platform/gui/headless/state.h"

namespace platform::gui {

std::unique_ptr<detail::ControlPeer> detail::makeControlPeer(ControlNode& control) {
  switch (control.spec.kind) {
    case Kind::Timer:
      return std::make_unique<headless::internal::TimerPeer>(control);
    case Kind::HyperlinkBox:
      return headless::internal::makeHyperlinkBox(control);
    default:
      return std::make_unique<detail::ControlPeer>(control);
  }
}

}  // namespace platform::gui
