// Headless hyperlink box: a press opens its target address through the
// shell service (a recorder in tests) and, once that worked, the box shows
// the visited colour as its text colour.
#include "platform/gui/headless/state.h"
#include "platform/services.h"

namespace platform::gui::headless::internal {

class HyperlinkBoxPeer : public detail::ControlPeer {
public:
  using ControlPeer::ControlPeer;

  void pressed() override {
    auto& s = node_.spec;
    if (s.target.empty() || !platform::shellOpen(s.target)) return;
    if (s.visitedColour != kDefaultColour) s.fore = s.visitedColour;
  }
};

std::unique_ptr<detail::ControlPeer> makeHyperlinkBox(detail::ControlNode& node) {
  return std::make_unique<HyperlinkBoxPeer>(node);
}

}  // namespace platform::gui::headless::internal
