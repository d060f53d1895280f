// Picture box: a container with a back colour and, when it has one, a
// picture stretched over it. An icon picture takes the size of the box.
#include "platform/gui/win32/navigator_kinds.h"
#include "platform/gui/win32/picture.h"

namespace platform::gui::win32 {
namespace {

class PictureBox : public ChildPeer {
public:
  using ChildPeer::ChildPeer;

  void paint(HDC dc, const RECT& client) override {
    FillRect(dc, &client, backBrush());
    picture_.draw(dc, client);
  }
  bool onMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    if (setHandCursor(node_, msg, wp, lp, result)) return true;
    // A bare picture box on a window dragged by its surface is part of that
    // surface (the custom title bar is one).
    if (msg == WM_LBUTTONDOWN && !node_.spec.mousePressed && node_.window->spec->dragBySurface) {
      dragTopLevel(hwnd_);
      result = 0;
      return true;
    }
    return false;
  }

protected:
  void afterCreate() override {
    const auto& s = node_.spec;
    picture_.load(s.picture, std::min(s.width, s.height));
  }

private:
  Picture picture_;
};

}  // namespace

std::unique_ptr<detail::ControlPeer> makePictureBox(detail::ControlNode& node) {
  return std::make_unique<PictureBox>(node);
}

}  // namespace platform::gui::win32
