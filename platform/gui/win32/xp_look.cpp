// The XP-like look: the system's visual styles come from the application
// manifest; on top of them push buttons are drawn in the chosen scheme's
// colours, those of message boxes too. Buttons that exist when the look is
// switched on are taken over at once, later ones as they are created (a CBT
// hook of the GUI thread).
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "platform/gui/win32/xp_look.h"

namespace platform::gui::win32 {
namespace {

struct Scheme {
  COLORREF top, bottom, border, hot, pressedTop, pressedBottom;
};

// 1 blue, 2 olive green, 3 silver.
const Scheme kSchemes[] = {
    {RGB(255, 255, 255), RGB(214, 223, 247), RGB(0, 60, 116), RGB(248, 179, 48), RGB(205, 215, 240), RGB(236, 240, 252)},
    {RGB(255, 255, 246), RGB(224, 230, 196), RGB(55, 98, 6), RGB(232, 158, 32), RGB(216, 222, 186), RGB(240, 242, 226)},
    {RGB(255, 255, 255), RGB(214, 214, 226), RGB(118, 116, 146), RGB(255, 196, 90), RGB(200, 200, 214), RGB(238, 238, 244)},
};

int activeScheme = 0;
HHOOK creationHook = nullptr;
constexpr UINT_PTR kSubclassId = 0x58504C4B;  // "XPLK"

bool isPushButton(HWND w) {
  wchar_t name[16] = {};
  GetClassNameW(w, name, 16);
  if (lstrcmpiW(name, L"Button") != 0) return false;
  LONG type = GetWindowLongW(w, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

void fillGradient(HDC dc, const RECT& r, COLORREF top, COLORREF bottom) {
  TRIVERTEX v[2] = {
      {r.left, r.top, static_cast<COLOR16>(GetRValue(top) << 8), static_cast<COLOR16>(GetGValue(top) << 8),
       static_cast<COLOR16>(GetBValue(top) << 8), 0},
      {r.right, r.bottom, static_cast<COLOR16>(GetRValue(bottom) << 8), static_cast<COLOR16>(GetGValue(bottom) << 8),
       static_cast<COLOR16>(GetBValue(bottom) << 8), 0},
  };
  GRADIENT_RECT g{0, 1};
  GradientFill(dc, v, 2, &g, 1, GRADIENT_FILL_RECT_V);
}

void paintButton(HWND w, HDC dc) {
  const Scheme& s = kSchemes[activeScheme - 1];
  RECT r;
  GetClientRect(w, &r);
  LRESULT state = SendMessageW(w, BM_GETSTATE, 0, 0);
  bool pressed = state & BST_PUSHED, focused = state & BST_FOCUS, enabled = IsWindowEnabled(w);
  bool hot = GetPropW(w, L"VelmoraHot") != nullptr;

  HBRUSH back = GetSysColorBrush(COLOR_BTNFACE);
  FillRect(dc, &r, back);
  RECT face = r;
  InflateRect(&face, -1, -1);
  fillGradient(dc, face, pressed ? s.pressedTop : s.top, pressed ? s.pressedBottom : s.bottom);

  HPEN pen = CreatePen(PS_SOLID, 1, enabled ? s.border : RGB(201, 199, 186));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  RoundRect(dc, r.left, r.top, r.right, r.bottom, 5, 5);
  if (hot && enabled && !pressed) {
    HPEN glow = CreatePen(PS_SOLID, 2, s.hot);
    SelectObject(dc, glow);
    RoundRect(dc, r.left + 2, r.top + 2, r.right - 1, r.bottom - 1, 3, 3);
    SelectObject(dc, pen);
    DeleteObject(glow);
  }
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);

  wchar_t text[256] = {};
  GetWindowTextW(w, text, 256);
  HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, enabled ? RGB(0, 0, 0) : RGB(161, 161, 146));
  RECT textRect = r;
  if (pressed) OffsetRect(&textRect, 1, 1);
  DrawTextW(dc, text, -1, &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_HIDEPREFIX);
  SelectObject(dc, oldFont);
  if (focused && !(SendMessageW(w, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) {
    RECT f = r;
    InflateRect(&f, -3, -3);
    DrawFocusRect(dc, &f);
  }
}

void repaintNow(HWND w) {
  if (HDC dc = GetDC(w)) {
    paintButton(w, dc);
    ReleaseDC(w, dc);
  }
}

LRESULT CALLBACK silverButton(HWND w, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      paintButton(w, dc);
      EndPaint(w, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE:
      if (!GetPropW(w, L"VelmoraHot")) {
        SetPropW(w, L"VelmoraHot", reinterpret_cast<HANDLE>(1));
        TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, w, 0};
        TrackMouseEvent(&t);
        InvalidateRect(w, nullptr, FALSE);
      }
      break;
    case WM_MOUSELEAVE:
      RemovePropW(w, L"VelmoraHot");
      InvalidateRect(w, nullptr, FALSE);
      break;
    case WM_NCDESTROY:
      RemovePropW(w, L"VelmoraHot");
      RemoveWindowSubclass(w, silverButton, kSubclassId);
      break;
    default:
      break;
  }
  // The standard button draws straight onto the screen when its state
  // changes (press, focus, enable, text); drawing again after it keeps the look.
  LRESULT result = DefSubclassProc(w, message, wParam, lParam);
  switch (message) {
    case BM_SETSTATE:
    case BM_SETSTYLE:
    case WM_SETTEXT:
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_UPDATEUISTATE:
      repaintNow(w);
      break;
    default:
      break;
  }
  return result;
}

void takeOver(HWND w) {
  if (isPushButton(w)) SetWindowSubclass(w, silverButton, kSubclassId, 0);
}

BOOL CALLBACK takeOverChild(HWND w, LPARAM) {
  takeOver(w);
  return TRUE;
}

BOOL CALLBACK takeOverWindow(HWND w, LPARAM) {
  takeOver(w);
  EnumChildWindows(w, takeOverChild, 0);
  return TRUE;
}

// Every window the GUI thread makes passes here: push buttons are taken
// over as they are created (class and style are set by then), and a window's
// first activation catches any made before the hook (message boxes build
// their buttons inside their own dialog code).
LRESULT CALLBACK onCreation(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) takeOver(reinterpret_cast<HWND>(wParam));
  else if (code == HCBT_ACTIVATE) takeOverWindow(reinterpret_cast<HWND>(wParam), 0);
  return CallNextHookEx(creationHook, code, wParam, lParam);
}

}  // namespace

void switchOnXpLook(int scheme) {
  if (scheme < 1 || scheme > 3) return;
  activeScheme = scheme;
  EnumThreadWindows(GetCurrentThreadId(), takeOverWindow, 0);
  if (!creationHook) creationHook = SetWindowsHookExW(WH_CBT, onCreation, nullptr, GetCurrentThreadId());
}

}  // namespace platform::gui::win32
