#pragma once
// Peers of the navigator's kinds (one file each) and the pieces they share:
// painting through to the parent, the hand cursor, the link's open action.
#include <memory>
#include <string>

#include "platform/gui/win32/win32_peer.h"

namespace platform::gui::win32 {

std::unique_ptr<detail::ControlPeer> makeTransparentLabel(detail::ControlNode& node);
std::unique_ptr<detail::ControlPeer> makePictureBox(detail::ControlNode& node);
std::unique_ptr<detail::ControlPeer> makePictureButton(detail::ControlNode& node);
std::unique_ptr<detail::ControlPeer> makeHyperlinkBox(detail::ControlNode& node);
std::unique_ptr<detail::ControlPeer> makeTabControl(detail::ControlNode& node);
std::unique_ptr<detail::ControlPeer> makeWebBrowser(detail::ControlNode& node);

// Paints what lies under `child` in its parent into `dc` (the child's own
// client coordinates), so that the child can draw over it as if transparent.
void paintParentBehind(HWND child, HDC dc);
// WM_SETCURSOR for a control with the hand cursor; true when it set one.
bool setHandCursor(const detail::ControlNode& node, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
// Keeps `hot` true while the pointer is over `hwnd` (WM_MOUSEMOVE and
// WM_MOUSELEAVE), redrawing it at each change; other messages pass untouched.
void trackHover(HWND hwnd, bool& hot, UINT msg);
// Draws a control's caption with its alignment and the given colour.
void drawCaption(HWND hwnd, HDC dc, const RECT& r, const ControlSpec& spec, COLORREF colour);
// The hyperlink box's open action: the shell's "open" verb, then the command
// registered for ".htm" files. True when either started.
bool openLinkTarget(const std::wstring& address);
// The top-level window moves with the mouse, as if its caption were dragged.
void dragTopLevel(HWND from);

}  // namespace platform::gui::win32
