// The child-window peer: one real child window whose text is the caption.
#include <windowsx.h>

#include "platform/gui/win32/win32_peer.h"
#include "platform/text.h"

namespace platform::gui::win32 {

const wchar_t kChildClass[] = L"VelmoraChild";
namespace {
const wchar_t kPeerProperty[] = L"VelmoraPeer";
}

std::wstring wide(const std::string& gbk) {
  std::u16string u = platform::gbkToUtf16(gbk);
  return std::wstring(u.begin(), u.end());
}

std::string narrow(const std::wstring& text) {
  return platform::utf16ToGbk(std::u16string(text.begin(), text.end()));
}

COLORREF colourOr(Colour c, int systemColour) {
  return c == kDefaultColour ? GetSysColor(systemColour) : static_cast<COLORREF>(c);
}

HINSTANCE instance() { return GetModuleHandleW(nullptr); }

ChildPeer* peerOf(HWND hwnd) { return static_cast<ChildPeer*>(GetPropW(hwnd, kPeerProperty)); }

ChildPeer::~ChildPeer() {
  if (brush_) DeleteObject(brush_);
}

DWORD ChildPeer::style() const {
  const auto& s = node_.spec;
  DWORD st = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  if (s.visible) st |= WS_VISIBLE;
  if (!s.enabled) st |= WS_DISABLED;
  if (s.border == Border::Single) st |= WS_BORDER;
  return st;
}

DWORD ChildPeer::exStyle() const {
  switch (node_.spec.border) {
    case Border::Sunken: return WS_EX_STATICEDGE;
    case Border::Raised: return WS_EX_DLGMODALFRAME;
    default: return 0;
  }
}

HWND ChildPeer::parentWindow() const {
  if (node_.parent && node_.parent->peer) {
    if (auto* p = dynamic_cast<ChildPeer*>(node_.parent->peer.get())) return p->containerFor(node_.spec.page);
  }
  return topLevelOf(node_);
}

void ChildPeer::create() {
  const auto& s = node_.spec;
  hwnd_ = CreateWindowExW(exStyle(), className(), wide(s.caption).c_str(), style(), s.left, s.top, s.width, s.height,
                          parentWindow(), nullptr, instance(), nullptr);
  if (!hwnd_) return;
  SetPropW(hwnd_, kPeerProperty, this);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  afterCreate();
}

void ChildPeer::captionChanged() {
  if (hwnd_) SetWindowTextW(hwnd_, wide(node_.spec.caption).c_str());
  if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}
void ChildPeer::coloursChanged() {
  if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}
void ChildPeer::visibleChanged() {
  if (hwnd_) ShowWindow(hwnd_, node_.spec.visible ? SW_SHOWNA : SW_HIDE);
}
void ChildPeer::enabledChanged() {
  if (hwnd_) EnableWindow(hwnd_, node_.spec.enabled);
}
void ChildPeer::placeChanged() {
  const auto& s = node_.spec;
  if (hwnd_) MoveWindow(hwnd_, s.left, s.top, s.width, s.height, TRUE);
}

HBRUSH ChildPeer::backBrush() {
  COLORREF c = colourOr(node_.spec.back, COLOR_BTNFACE);
  if (!brush_ || brushColour_ != c) {
    if (brush_) DeleteObject(brush_);
    brush_ = CreateSolidBrush(c);
    brushColour_ = c;
  }
  return brush_;
}

bool ChildPeer::onReflected(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
  if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORBTN) {
    HDC dc = reinterpret_cast<HDC>(wp);
    SetTextColor(dc, colourOr(node_.spec.fore, COLOR_WINDOWTEXT));
    SetBkColor(dc, colourOr(node_.spec.back, COLOR_BTNFACE));
    result = reinterpret_cast<LRESULT>(backBrush());
    return true;
  }
  return false;
}

void ChildPeer::paint(HDC dc, const RECT& client) { FillRect(dc, &client, backBrush()); }

bool ChildPeer::onMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

namespace {

void mouseEvent(detail::ControlNode& node, bool down, WPARAM wp, LPARAM lp) {
  auto& event = down ? node.spec.mousePressed : node.spec.mouseReleased;
  int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp), keys = static_cast<int>(wp & (MK_SHIFT | MK_CONTROL | MK_LBUTTON | MK_RBUTTON));
  if (event) detail::callRoutine([&] { event(x, y, keys); });
}

LRESULT CALLBACK childProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    LRESULT result = 0;
    if (reflect(hwnd, msg, wp, lp, result)) return result;
    ChildPeer* peer = peerOf(hwnd);
    if (peer) {
      if (peer->onMessage(msg, wp, lp, result)) return result;
      switch (msg) {
        case WM_ERASEBKGND:
          return 1;
        case WM_PAINT: {
          PAINTSTRUCT ps;
          HDC dc = BeginPaint(hwnd, &ps);
          RECT rc;
          GetClientRect(hwnd, &rc);
          peer->paint(dc, rc);
          EndPaint(hwnd, &ps);
          return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
          mouseEvent(peer->node(), msg == WM_LBUTTONDOWN, wp, lp);
          return 0;
        case WM_SETTEXT: {
          LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
          InvalidateRect(hwnd, nullptr, TRUE);
          return r;
        }
        default:
          break;
      }
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  } catch (...) {
    return 0;
  }
}

}  // namespace

void registerChildClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = childProc;
  wc.hInstance = instance();
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kChildClass;
  RegisterClassExW(&wc);
}

bool reflect(HWND, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  HWND child = nullptr;
  switch (msg) {
    case WM_COMMAND:
      child = reinterpret_cast<HWND>(lp);
      break;
    case WM_NOTIFY:
      child = reinterpret_cast<NMHDR*>(lp)->hwndFrom;
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
    case WM_HSCROLL:
    case WM_VSCROLL:
      child = reinterpret_cast<HWND>(lp);
      break;
    case WM_DRAWITEM:
      child = reinterpret_cast<DRAWITEMSTRUCT*>(lp)->hwndItem;
      break;
    default:
      return false;
  }
  ChildPeer* peer = child ? peerOf(child) : nullptr;
  return peer && peer->onReflected(msg, wp, lp, result);
}

}  // namespace platform::gui::win32
