// Multi-function bar: a progress bar, or a scroll bar with keyboard steps
// (arrows 1, Page Up/Down 10, Home/End the ends).
#include "platform/gui/win32/kinds.h"

namespace platform::gui::win32 {

const wchar_t* MultiBarPeer::className() const {
  return node_.spec.barForm == BarForm::Progress ? PROGRESS_CLASSW : WC_SCROLLBARW;
}

DWORD MultiBarPeer::style() const {
  const auto& s = node_.spec;
  DWORD st = ChildPeer::style() & ~WS_BORDER;
  if (s.barForm == BarForm::Progress) return st | (s.vertical ? PBS_VERTICAL : 0);
  return st | WS_TABSTOP | (s.vertical ? SBS_VERT : SBS_HORZ);
}

void MultiBarPeer::afterCreate() {
  const auto& s = node_.spec;
  if (s.barForm == BarForm::Progress) {
    SendMessageW(hwnd_, PBM_SETRANGE32, s.minimum, s.maximum);
    SendMessageW(hwnd_, PBM_SETPOS, s.position, 0);
    return;
  }
  SCROLLINFO si{sizeof si, SIF_RANGE | SIF_POS | SIF_PAGE, s.minimum, s.maximum, 0, s.position, 0};
  SetScrollInfo(hwnd_, SB_CTL, &si, TRUE);
}

void MultiBarPeer::positionChanged() {
  if (!hwnd_) return;
  if (node_.spec.barForm == BarForm::Progress) SendMessageW(hwnd_, PBM_SETPOS, node_.spec.position, 0);
  else SetScrollPos(hwnd_, SB_CTL, node_.spec.position, TRUE);
}

int MultiBarPeer::position() const { return node_.spec.position; }

bool MultiBarPeer::onReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg != WM_HSCROLL && msg != WM_VSCROLL) return ChildPeer::onReflected(msg, wp, lp, result);
  auto& s = node_.spec;
  int pos = s.position;
  switch (LOWORD(wp)) {
    case SB_LINEUP: pos -= 1; break;
    case SB_LINEDOWN: pos += 1; break;
    case SB_PAGEUP: pos -= 10; break;
    case SB_PAGEDOWN: pos += 10; break;
    case SB_TOP: pos = s.minimum; break;
    case SB_BOTTOM: pos = s.maximum; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = static_cast<short>(HIWORD(wp)); break;
    default: break;
  }
  s.position = std::clamp(pos, s.minimum, s.maximum);
  positionChanged();
  result = 0;
  return true;
}

}  // namespace platform::gui::win32
