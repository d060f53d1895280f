// Transparent label: only its text, drawn over whatever its parent shows.
#include "platform/gui/win32/navigator_kinds.h"

namespace platform::gui::win32 {
namespace {

class TransparentLabel : public ChildPeer {
public:
  using ChildPeer::ChildPeer;

  void paint(HDC dc, const RECT& client) override {
    paintParentBehind(hwnd_, dc);
    drawCaption(hwnd_, dc, client, node_.spec, colourOr(node_.spec.fore, COLOR_WINDOWTEXT));
  }
  bool onMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    return setHandCursor(node_, msg, wp, lp, result);
  }
  // What lies under it may change without it: moving repaints it whole.
  void placeChanged() override {
    ChildPeer::placeChanged();
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
  }

protected:
  DWORD exStyle() const override { return ChildPeer::exStyle() | WS_EX_TRANSPARENT; }
};

}  // namespace

std::unique_ptr<detail::ControlPeer> makeTransparentLabel(detail::ControlNode& node) {
  return std::make_unique<TransparentLabel>(node);
}

}  // namespace platform::gui::win32
