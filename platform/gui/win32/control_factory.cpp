// The one place that maps a control kind to its Win32 peer. Kinds without a
// file of their own yet fall back to a label (visible kinds) or to a
// windowless peer (the ZIP object).
#include "platform/gui/detail/backend.h"
#include "platform/gui/win32/kinds.h"
#include "platform/gui/win32/navigator_kinds.h"

namespace platform::gui {

std::unique_ptr<detail::ControlPeer> detail::makeControlPeer(ControlNode& control) {
  using namespace win32;
  switch (control.spec.kind) {
    case Kind::Label: return std::make_unique<LabelPeer>(control);
    case Kind::PushButton: return std::make_unique<PushButtonPeer>(control);
    case Kind::PictureBox: return makePictureBox(control);
    case Kind::ShapeBox: return std::make_unique<ShapeBoxPeer>(control);
    case Kind::Timer: return std::make_unique<TimerPeer>(control);
    case Kind::EditBox: return std::make_unique<EditBoxPeer>(control);
    case Kind::StatusBar: return std::make_unique<StatusBarPeer>(control);
    case Kind::MultiBar: return std::make_unique<MultiBarPeer>(control);
    case Kind::ZipObject: return std::make_unique<detail::ControlPeer>(control);
    case Kind::TransparentLabel: return makeTransparentLabel(control);
    case Kind::PictureButton: return makePictureButton(control);
    case Kind::HyperlinkBox: return makeHyperlinkBox(control);
    case Kind::TabControl: return makeTabControl(control);
    case Kind::WebBrowser: return makeWebBrowser(control);
  }
  return std::make_unique<detail::ControlPeer>(control);
}

}  // namespace platform::gui
