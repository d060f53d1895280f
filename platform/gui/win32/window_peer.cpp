// Win32 top-level window: frame, back colour, Esc, close query, timers,
// drag by surface, and the reflection of its children's messages.
#include <windows.h>
#include <windowsx.h>

#include <map>
#include <vector>

#include "platform/gui/detail/backend.h"
#include "platform/gui/win32/picture.h"
#include "platform/gui/win32/win32_peer.h"

namespace platform::gui {
namespace win32 {
namespace {

const wchar_t kWindowClass[] = L"VelmoraWindow";
const wchar_t kNodeProperty[] = L"VelmoraWindowNode";

class Win32Window : public detail::WindowPeer {
public:
  using WindowPeer::WindowPeer;
  ~Win32Window() override {
    if (brush_) DeleteObject(brush_);
  }

  void create() override {
    const WindowSpec& s = *node_.spec;
    DWORD style = WS_CLIPCHILDREN;
    if (s.frame == Frame::Resizable) style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
    else style |= WS_POPUP;
    DWORD ex = s.taskbar ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW;
    int left = s.left, top = s.top;
    if (s.centred) {
      left = (GetSystemMetrics(SM_CXSCREEN) - s.width) / 2;
      top = (GetSystemMetrics(SM_CYSCREEN) - s.height) / 2;
    }
    brush_ = CreateSolidBrush(colourOr(s.back, COLOR_BTNFACE));
    if (s.backPicture) backPicture_.load(s.backPicture);
    hwnd_ = CreateWindowExW(ex, kWindowClass, wide(s.title).c_str(), style, left, top, s.width, s.height, nullptr,
                            nullptr, instance(), nullptr);
    SetPropW(hwnd_, kNodeProperty, &node_);
    if (s.icon) {
      auto big = LoadImageW(instance(), MAKEINTRESOURCEW(s.icon), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                            GetSystemMetrics(SM_CYICON), 0);
      auto small = LoadImageW(instance(), MAKEINTRESOURCEW(s.icon), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                              GetSystemMetrics(SM_CYSMICON), 0);
      if (big) SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
      if (small) SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    }
  }
  void destroy() override {
    if (hwnd_) {
      RemovePropW(hwnd_, kNodeProperty);
      DestroyWindow(hwnd_);
      hwnd_ = nullptr;
    }
    PostMessageW(nullptr, WM_NULL, 0, 0);  // wakes the message loop to see the last window gone
  }
  void show(bool shown) override {
    ShowWindow(hwnd_, shown ? SW_SHOW : SW_HIDE);
    if (shown) UpdateWindow(hwnd_);
  }
  bool visible() const override { return IsWindowVisible(hwnd_); }
  void minimise() override { ShowWindow(hwnd_, SW_MINIMIZE); }
  bool minimised() const override { return IsIconic(hwnd_); }
  void restore() override { ShowWindow(hwnd_, SW_RESTORE); }
  void activate() override { SetForegroundWindow(hwnd_); }
  void place(int& left, int& top, int& width, int& height) const override {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    left = r.left;
    top = r.top;
    width = r.right - r.left;
    height = r.bottom - r.top;
  }
  void moveTo(int left, int top) override {
    SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // The window keeps the back picture's pixels whose colour is not the key
  // colour; the region is built one run of kept pixels per row.
  bool shapeFromPicture() override {
    const WindowSpec& s = *node_.spec;
    if (!hwnd_ || !backPicture_.bitmap() || s.keyColour == kDefaultColour) return false;
    const int width = backPicture_.width(), height = backPicture_.height();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    HDC screen = GetDC(nullptr);
    int rows = GetDIBits(screen, backPicture_.bitmap(), 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != height) return false;
    // DIB pixels are 0x00RRGGBB; the key colour is stored as 0x00BBGGRR.
    const DWORD key = (static_cast<DWORD>(colourRed(s.keyColour)) << 16) |
                      (static_cast<DWORD>(colourGreen(s.keyColour)) << 8) | colourBlue(s.keyColour);
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    for (int y = 0; y < height; ++y) {
      const DWORD* row = pixels.data() + static_cast<size_t>(y) * width;
      for (int x = 0; x < width;) {
        while (x < width && (row[x] & 0xFFFFFF) == key) ++x;
        int start = x;
        while (x < width && (row[x] & 0xFFFFFF) != key) ++x;
        if (x > start) {
          HRGN run = CreateRectRgn(start, y, x, y + 1);
          CombineRgn(shape, shape, run, RGN_OR);
          DeleteObject(run);
        }
      }
    }
    // The window owns the region from here on.
    return SetWindowRgn(hwnd_, shape, TRUE) != 0;
  }

  HWND hwnd_ = nullptr;
  HBRUSH brush_ = nullptr;
  Picture backPicture_;
};


void resizeDocked(detail::WindowNode& w) {
  for (auto& c : w.controls)
    if (c->spec.kind == Kind::StatusBar && c->peer)
      if (auto* p = dynamic_cast<ChildPeer*>(c->peer.get())) SendMessageW(p->hwnd(), WM_SIZE, 0, 0);
}

LRESULT onWindowMessage(detail::WindowNode& w, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (reflect(hwnd, msg, wp, lp, result)) return result;
  auto* peer = static_cast<Win32Window*>(w.peer.get());
  switch (msg) {
    case WM_CLOSE:
      detail::closeWindow(w, true);
      return 0;
    case WM_QUERYENDSESSION: {
      bool allowed = true;
      if (w.spec->closeQuery) detail::callRoutine([&] { allowed = w.spec->closeQuery(); });
      return allowed;
    }
    case WM_ERASEBKGND: {
      RECT rc;
      GetClientRect(hwnd, &rc);
      if (!peer->backPicture_.empty()) peer->backPicture_.draw(reinterpret_cast<HDC>(wp), rc);
      else FillRect(reinterpret_cast<HDC>(wp), &rc, peer->brush_);
      return 1;
    }
    case WM_SIZE:
      resizeDocked(w);
      return 0;
    case WM_TIMER:
      timerFired(wp);
      return 0;
    case WM_HOTKEY:
      hotKeyPressed(static_cast<int>(wp));
      return 0;
    case WM_LBUTTONDOWN:
      if (w.spec->dragBySurface) {
        ReleaseCapture();
        SendMessageW(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, 0);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    auto* w = static_cast<detail::WindowNode*>(GetPropW(hwnd, kNodeProperty));
    if (w && w->alive) return onWindowMessage(*w, hwnd, msg, wp, lp);
  } catch (...) {
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

void registerWindowClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance();
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.lpszClassName = kWindowClass;
  RegisterClassExW(&wc);
}

detail::WindowNode* windowOf(HWND topLevel) {
  return topLevel ? static_cast<detail::WindowNode*>(GetPropW(topLevel, kNodeProperty)) : nullptr;
}

HWND windowHandle(detail::WindowNode& window) { return static_cast<Win32Window*>(window.peer.get())->hwnd_; }

HWND topLevelOf(const detail::ControlNode& node) { return windowHandle(*node.window); }

}  // namespace win32

std::unique_ptr<detail::WindowPeer> detail::makeWindowPeer(WindowNode& window) {
  return std::make_unique<win32::Win32Window>(window);
}

}  // namespace platform::gui
