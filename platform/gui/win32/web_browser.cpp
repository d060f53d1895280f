// Web-browser box: a child window of ours that hosts the system's browser.
// It keeps its address and the browser's status text, and asks the table's
// routine before the page opens a new window. Without a browser engine it is
// a plain white box that still takes its address.
#include "platform/gui/win32/embedded_browser.h"
#include "platform/gui/win32/navigator_kinds.h"

namespace platform::gui::win32 {
namespace {

constexpr UINT kNavigate = WM_APP + 0x4E56;

class WebBrowser : public ChildPeer {
public:
  using ChildPeer::ChildPeer;
  ~WebBrowser() override { browser_.destroy(); }

  // Navigation is posted: a routine may ask for it from inside one of the
  // browser's own events (the new-window request), where the browser must
  // not be re-entered.
  void navigate() override {
    if (hwnd_) PostMessageW(hwnd_, kNavigate, 0, 0);
  }
  void placeChanged() override {
    ChildPeer::placeChanged();
    browser_.resize(node_.spec.width, node_.spec.height);
  }
  void paint(HDC dc, const RECT& client) override {
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  bool onMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) override {
    if (browser_.onHostMessage(msg)) {
      result = 0;
      return true;
    }
    if (msg == kNavigate) {
      if (!node_.address.empty()) browser_.navigate(wide(node_.address));
      result = 0;
      return true;
    }
    if (msg == WM_SIZE) {
      RECT r;
      GetClientRect(hwnd_, &r);
      browser_.resize(r.right, r.bottom);
    }
    return false;
  }

protected:
  void afterCreate() override {
    EmbeddedBrowser::Events events;
    detail::ControlNode* node = &node_;
    events.statusText = [node](const std::wstring& text) { node->status = narrow(text); };
    events.newWindow = [node] {
      bool allowed = true;  // no routine: the page may open its window
      if (node->spec.newWindow) detail::callRoutine([&] { allowed = node->spec.newWindow(); });
      return allowed;
    };
    browser_.create(hwnd_, node_.spec.offline, node_.spec.silent, std::move(events));
    navigate();
  }

private:
  EmbeddedBrowser browser_;
};

}  // namespace

std::unique_ptr<detail::ControlPeer> makeWebBrowser(detail::ControlNode& node) {
  return std::make_unique<WebBrowser>(node);
}

}  // namespace platform::gui::win32
