// What the navigator's kinds share: see navigator_kinds.h.
#include <windows.h>
#include <shellapi.h>

#include "platform/gui/detail/link_command.h"
#include "platform/gui/win32/navigator_kinds.h"

namespace platform::gui::win32 {

void paintParentBehind(HWND child, HDC dc) {
  HWND parent = GetParent(child);
  if (!parent) return;
  POINT origin{0, 0};
  MapWindowPoints(child, parent, &origin, 1);
  POINT old;
  SetViewportOrgEx(dc, -origin.x, -origin.y, &old);
  if (ChildPeer* below = peerOf(parent)) {
    RECT all;
    GetClientRect(parent, &all);
    below->paint(dc, all);
  } else {
    SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  }
  SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

bool setHandCursor(const detail::ControlNode& node, UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
  if (msg != WM_SETCURSOR || !node.spec.handCursor || LOWORD(lp) != HTCLIENT) return false;
  SetCursor(LoadCursorW(nullptr, IDC_HAND));
  result = TRUE;
  return true;
}

void trackHover(HWND hwnd, bool& hot, UINT msg) {
  if (msg == WM_MOUSEMOVE && !hot) {
    hot = true;
    TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, hwnd, 0};
    TrackMouseEvent(&t);
    InvalidateRect(hwnd, nullptr, FALSE);
  } else if (msg == WM_MOUSELEAVE) {
    hot = false;
    InvalidateRect(hwnd, nullptr, FALSE);
  }
}

void drawCaption(HWND hwnd, HDC dc, const RECT& r, const ControlSpec& spec, COLORREF colour) {
  wchar_t text[512] = {};
  GetWindowTextW(hwnd, text, 512);
  UINT format = DT_NOPREFIX;
  format |= spec.align == Align::Centre ? DT_CENTER : spec.align == Align::Right ? DT_RIGHT : DT_LEFT;
  format |= spec.verticalCentre ? DT_SINGLELINE | DT_VCENTER : DT_WORDBREAK;
  // Our own window class keeps no font of its own (WM_GETFONT gives none).
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
  HGDIOBJ oldFont = SelectObject(dc, font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  RECT box = r;
  DrawTextW(dc, text, -1, &box, format);
  SelectObject(dc, oldFont);
}

namespace {

std::wstring defaultValue(const std::wstring& key) {
  wchar_t value[1024] = {};
  LONG size = sizeof value;
  if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), value, &size) != ERROR_SUCCESS) return {};
  return value;
}

bool runShown(std::wstring commandLine) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

}  // namespace

bool openLinkTarget(const std::wstring& address) {
  if (address.empty()) return false;
  auto opened = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (opened > 32) return true;
  std::wstring htmClass = defaultValue(L".htm");
  if (htmClass.empty()) return false;
  std::wstring command = defaultValue(htmClass + L"\\shell\\open\\command");
  if (command.empty()) return false;
  return runShown(detail::linkCommandLine(command, address));
}

void dragTopLevel(HWND from) {
  HWND top = GetAncestor(from, GA_ROOT);
  ReleaseCapture();
  SendMessageW(top, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

}  // namespace platform::gui::win32
