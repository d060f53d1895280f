// Edit box: multi-line system edit without a length limit.
#include "platform/gui/win32/kinds.h"

namespace platform::gui::win32 {

DWORD EditBoxPeer::style() const {
  const auto& s = node_.spec;
  DWORD st = (ChildPeer::style() & ~WS_BORDER) | WS_TABSTOP | ES_LEFT;
  if (s.multiLine) st |= ES_MULTILINE | ES_WANTRETURN | (s.horizontalScroll ? ES_AUTOHSCROLL : 0) | ES_AUTOVSCROLL;
  if (s.verticalScroll) st |= WS_VSCROLL;
  if (s.horizontalScroll) st |= WS_HSCROLL;
  if (s.readOnly) st |= ES_READONLY;
  return st;
}

void EditBoxPeer::afterCreate() { SendMessageW(hwnd_, EM_SETLIMITTEXT, 0, 0); }

// Caret to the end, the end into view, the text inserted there; what the
// user typed stays where it is.
void EditBoxPeer::appendText(const std::string& text) {
  if (!hwnd_) return;
  std::wstring w = wide(text);
  int end = GetWindowTextLengthW(hwnd_);
  SendMessageW(hwnd_, EM_SETSEL, end, end);
  SendMessageW(hwnd_, EM_SCROLLCARET, 0, 0);
  SendMessageW(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(w.c_str()));
  SendMessageW(hwnd_, EM_SCROLLCARET, 0, 0);
}

std::string EditBoxPeer::caption() const {
  if (!hwnd_) return node_.spec.caption;
  int n = GetWindowTextLengthW(hwnd_);
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(hwnd_, w.data(), n + 1);
  w.resize(static_cast<size_t>(n));
  return narrow(w);
}

}  // namespace platform::gui::win32
