// Picture button: the normal picture, the hover picture while the mouse is
// over it, the disabled picture (or the normal one, greyed) when disabled.
// Clicked when the left button goes up over it after going down on it.
#include "platform/gui/win32/navigator_kinds.h"
#include "platform/gui/win32/picture.h"

namespace platform::gui::win32 {
namespace {

class PictureButton : public ChildPeer {
public:
  using ChildPeer::ChildPeer;

  void paint(HDC dc, const RECT& client) override {
    FillRect(dc, &client, backBrush());
    const Picture& shown = !node_.spec.enabled && !disabled_.empty() ? disabled_
                           : hot_ && node_.spec.enabled && !hover_.empty() ? hover_
                                                                             : normal_;
    shown.draw(dc, client);
    if (!node_.spec.enabled && disabled_.empty()) greyOut(dc, client);
  }

  bool onMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    if (setHandCursor(node_, msg, wp, lp, result)) return true;
    switch (msg) {
      case WM_MOUSEMOVE:
      case WM_MOUSELEAVE:
        trackHover(hwnd_, hot_, msg);
        return false;
      case WM_LBUTTONDOWN:
        SetCapture(hwnd_);
        pressed_ = true;
        return false;  // the mouse event of the table still runs
      case WM_LBUTTONUP: {
        bool wasPressed = pressed_;
        pressed_ = false;
        if (GetCapture() == hwnd_) ReleaseCapture();
        POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        RECT r;
        GetClientRect(hwnd_, &r);
        if (wasPressed && PtInRect(&r, p) && node_.spec.clicked) {
          detail::ControlNode& node = node_;
          detail::callRoutine([&] { node.spec.clicked(); });
        }
        result = 0;
        return true;  // the routine may have ended the program or closed the window
      }
      default:
        return false;
    }
  }

  void enabledChanged() override {
    ChildPeer::enabledChanged();
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
  }

protected:
  void afterCreate() override {
    normal_.load(node_.spec.picture);
    hover_.load(node_.spec.hoverPicture);
    disabled_.load(node_.spec.disabledPicture);
  }

private:
  static void greyOut(HDC dc, const RECT& r) {
    // A 50 % blend towards the button face, without a picture of its own.
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP one = CreateCompatibleBitmap(dc, 1, 1);
    HGDIOBJ old = SelectObject(mem, one);
    SetPixel(mem, 0, 0, GetSysColor(COLOR_BTNFACE));
    BLENDFUNCTION half{AC_SRC_OVER, 0, 128, 0};
    AlphaBlend(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, mem, 0, 0, 1, 1, half);
    SelectObject(mem, old);
    DeleteObject(one);
    DeleteDC(mem);
  }

  Picture normal_, hover_, disabled_;
  bool hot_ = false, pressed_ = false;
};

}  // namespace

std::unique_ptr<detail::ControlPeer> makePictureButton(detail::ControlNode& node) {
  return std::make_unique<PictureButton>(node);
}

}  // namespace platform::gui::win32
