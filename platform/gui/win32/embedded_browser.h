#pragma once
// The system's web browser (IWebBrowser2) hosted in one of our child windows,
// by hand, without a COM framework. Used by the web-browser box.
//
// Where the system has no browser engine the box must still work as a box:
// create() then reports false and the host window stays a plain child window.
#include <windows.h>

#include <functional>
#include <string>

namespace platform::gui::win32 {

class BrowserSite;

class EmbeddedBrowser {
public:
  struct Events {
    std::function<void(const std::wstring&)> statusText;  // StatusTextChange
    std::function<bool()> newWindow;                      // true lets the new window open
  };

  EmbeddedBrowser() = default;
  ~EmbeddedBrowser();
  EmbeddedBrowser(const EmbeddedBrowser&) = delete;
  EmbeddedBrowser& operator=(const EmbeddedBrowser&) = delete;

  // Puts a browser into `host`, filling its client area. False when no
  // browser could be made; the object then does nothing.
  bool create(HWND host, bool offline, bool silent, Events events);
  bool created() const { return site_ != nullptr; }
  void navigate(const std::wstring& address);
  void resize(int width, int height);
  // The host window's procedure offers every message here first; true when
  // it was one of the browser's own.
  bool onHostMessage(UINT message);
  // Ordered teardown: events first, then in-place state, then the object.
  void destroy();

private:
  BrowserSite* site_ = nullptr;
};

}  // namespace platform::gui::win32
