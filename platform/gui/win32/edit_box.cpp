// Edit box: multi-line system edit without a length limit.
#include "platform/gui/win32/kinds.h"

namespace platform::gui::win32 {
namespace {

const UINT_PTR kSubclassId = 0x4542;
const UINT_PTR kFlushTimer = 0x4542;
// An insert into a shown box costs tens of milliseconds under some systems;
// at this rate a burst still scrolls smoothly and the cost stays small.
const DWORD kFlushIntervalMs = 50;

// Messages after which the box's text could be seen or changed by someone
// other than appendText: the user's input and every read or write of the text.
bool needsWholeText(UINT msg) {
  if (msg >= WM_KEYFIRST && msg <= WM_KEYLAST) return true;
  if (msg > WM_MOUSEFIRST && msg <= WM_MOUSELAST) return true;  // buttons and wheels, not mere moves
  if (msg >= WM_NCLBUTTONDOWN && msg <= WM_NCXBUTTONDBLCLK) return true;
  if (msg >= WM_IME_STARTCOMPOSITION && msg <= WM_IME_KEYLAST) return true;
  if (msg >= EM_GETSEL && msg <= EM_GETIMESTATUS) return true;
  switch (msg) {
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_SETTEXT:
    case WM_CUT:
    case WM_COPY:
    case WM_PASTE:
    case WM_CLEAR:
    case WM_UNDO:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CONTEXTMENU:
    case WM_IME_CHAR:
    case WM_IME_COMPOSITION:
      return true;
    default:
      return false;
  }
}

}  // namespace

DWORD EditBoxPeer::style() const {
  const auto& s = node_.spec;
  DWORD st = (ChildPeer::style() & ~WS_BORDER) | WS_TABSTOP | ES_LEFT;
  if (s.multiLine) st |= ES_MULTILINE | ES_WANTRETURN | (s.horizontalScroll ? ES_AUTOHSCROLL : 0) | ES_AUTOVSCROLL;
  if (s.verticalScroll) st |= WS_VSCROLL;
  if (s.horizontalScroll) st |= WS_HSCROLL;
  if (s.readOnly) st |= ES_READONLY;
  return st;
}

void EditBoxPeer::afterCreate() {
  SendMessageW(hwnd_, EM_SETLIMITTEXT, 0, 0);
  subclassed_ = SetWindowSubclass(hwnd_, boxProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)) != FALSE;
}

EditBoxPeer::~EditBoxPeer() {
  if (!hwnd_ || !IsWindow(hwnd_)) return;
  if (timerSet_) KillTimer(hwnd_, kFlushTimer);
  if (subclassed_) RemoveWindowSubclass(hwnd_, boxProc, kSubclassId);
}

LRESULT CALLBACK EditBoxPeer::boxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
  auto* peer = reinterpret_cast<EditBoxPeer*>(self);
  try {
    if (msg == WM_TIMER && wp == kFlushTimer) {
      peer->flush();
      return 0;
    }
    if (msg == WM_NCDESTROY) {
      peer->pending_.clear();
      peer->timerSet_ = false;
      peer->subclassed_ = false;
      RemoveWindowSubclass(hwnd, boxProc, kSubclassId);
    } else if (needsWholeText(msg)) {
      peer->flush();
    }
  } catch (...) {
    // Out of memory while gathering text: the message itself still goes on.
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

// Caret to the end, the end into view, the text inserted there; what the
// user typed stays where it is. A box with the subclass in place gathers
// the text; without it every append goes in at once.
void EditBoxPeer::appendText(const std::string& text) {
  if (!hwnd_) return;
  if (!subclassed_) {
    insertAtEnd(wide(text));
    return;
  }
  pending_ += wide(text);
  if (timerSet_) return;
  // A lone append, after a quiet spell, goes in at once; the rest of a burst
  // waits for the timer.
  if (GetTickCount() - lastFlush_ >= kFlushIntervalMs) {
    flush();
    return;
  }
  timerSet_ = SetTimer(hwnd_, kFlushTimer, kFlushIntervalMs, nullptr) != 0;
  if (!timerSet_) flush();
}

void EditBoxPeer::flush() const {
  if (flushing_ || !hwnd_) return;
  if (timerSet_) {
    KillTimer(hwnd_, kFlushTimer);
    timerSet_ = false;
  }
  if (pending_.empty()) return;
  lastFlush_ = GetTickCount();
  std::wstring text;
  text.swap(pending_);
  flushing_ = true;
  insertAtEnd(text);
  flushing_ = false;
}

void EditBoxPeer::insertAtEnd(const std::wstring& text) const {
  // Drawing is held back while the text goes in, and the box is drawn once
  // afterwards; only a box that shows itself is switched (WM_SETREDRAW TRUE
  // would show a hidden one).
  bool shown = (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
  if (shown) SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
  int end = GetWindowTextLengthW(hwnd_);
  SendMessageW(hwnd_, EM_SETSEL, end, end);
  SendMessageW(hwnd_, EM_SCROLLCARET, 0, 0);
  SendMessageW(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageW(hwnd_, EM_SCROLLCARET, 0, 0);
  if (shown) {
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
  }
}

std::string EditBoxPeer::caption() const {
  if (!hwnd_) return node_.spec.caption;
  flush();
  int n = GetWindowTextLengthW(hwnd_);
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(hwnd_, w.data(), n + 1);
  w.resize(static_cast<size_t>(n));
  return narrow(w);
}

void EditBoxPeer::captionChanged() {
  flush();
  ChildPeer::captionChanged();
}

}  // namespace platform::gui::win32
