// Hyperlink box: link text in the normal, hover or visited colour over its
// back colour, the hand cursor, and on a press of the left button its target
// address opened in the user's browser. Visited only once that worked.
#include "platform/gui/win32/navigator_kinds.h"

namespace platform::gui::win32 {
namespace {

class HyperlinkBox : public ChildPeer {
public:
  using ChildPeer::ChildPeer;

  void paint(HDC dc, const RECT& client) override {
    const auto& s = node_.spec;
    if (s.back == kDefaultColour) paintParentBehind(hwnd_, dc);
    else FillRect(dc, &client, backBrush());
    Colour c = visited_ && s.visitedColour != kDefaultColour ? s.visitedColour
               : hot_ && s.hoverColour != kDefaultColour     ? s.hoverColour
                                                             : s.fore;
    drawCaption(hwnd_, dc, client, s, colourOr(c, COLOR_HOTLIGHT));
  }

  bool onMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    switch (msg) {
      case WM_SETCURSOR:
        // The hand is what makes it a link: always, not only when asked.
        if (LOWORD(lp) != HTCLIENT) return false;
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        result = TRUE;
        return true;
      case WM_MOUSEMOVE:
      case WM_MOUSELEAVE:
        trackHover(hwnd_, hot_, msg);
        return false;
      case WM_LBUTTONDOWN:
        pressed();
        return false;  // then the table's mouse event, if any
      default:
        return setHandCursor(node_, msg, wp, lp, result);
    }
  }

  void pressed() override {
    auto& s = node_.spec;
    if (s.target.empty() || !openLinkTarget(wide(s.target))) return;
    visited_ = true;
    if (s.visitedColour != kDefaultColour) s.fore = s.visitedColour;  // what foreColour() reports
    InvalidateRect(hwnd_, nullptr, FALSE);
  }

private:
  bool hot_ = false, visited_ = false;
};

}  // namespace

std::unique_ptr<detail::ControlPeer> makeHyperlinkBox(detail::ControlNode& node) {
  return std::make_unique<HyperlinkBox>(node);
}

}  // namespace platform::gui::win32
