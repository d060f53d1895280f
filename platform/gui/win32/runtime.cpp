// Win32 backend: the GUI thread, marshalling through one message-only
// window, the loops, message boxes and the hot key.
#include <windows.h>
#include <commctrl.h>

#include <atomic>

#include "platform/gui/detail/backend.h"
#include "platform/gui/win32/win32_peer.h"
#include "platform/gui/win32/xp_look.h"

namespace platform::gui {
namespace win32 {
namespace {

const UINT kRunCall = WM_APP + 1;
const UINT kRunPosted = WM_APP + 2;
DWORD guiThread = 0;
HWND callWindow = nullptr;
int xpScheme = 0;
bool loopWaiting = false;  // runMessageLoop is inside GetMessage

LRESULT CALLBACK callProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    if (msg == kRunCall) {
      takeQueuedCalls(hwnd);
      return 1;
    }
    if (msg == WM_TIMER && wp == kTakeCallsTimer) {
      KillTimer(hwnd, kTakeCallsTimer);
      takeQueuedCalls(hwnd);
      return 0;
    }
    if (msg == kRunPosted) {
      std::unique_ptr<std::function<void()>> f(reinterpret_cast<std::function<void()>*>(wp));
      detail::callRoutine(*f);
      return 0;
    }
  } catch (...) {
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

bool messageLoopWaiting() { return loopWaiting; }

bool handleEscape(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_ESCAPE || !msg.hwnd) return false;
  detail::WindowNode* w = windowOf(GetAncestor(msg.hwnd, GA_ROOT));
  if (!w || w->spec->esc == EscKey::Nothing) return false;
  detail::closeWindow(*w, w->spec->esc == EscKey::AskToClose);
  return true;
}

void pumpMessage(MSG& msg) {
  if (handleEscape(msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

}  // namespace win32

namespace detail {

bool programEnding() { return false; }  // the process ends with the program

bool runOnGuiThread(const std::function<void()>& f) {
  if (GetCurrentThreadId() == win32::guiThread || !win32::callWindow) {
    f();
    return true;
  }
  return win32::handOverCall(win32::callWindow, win32::kRunCall, f);
}

void postToGuiThread(std::function<void()> f) {
  auto* owned = new std::function<void()>(std::move(f));
  if (!PostMessageW(win32::callWindow, win32::kRunPosted, reinterpret_cast<WPARAM>(owned), 0)) delete owned;
}

}  // namespace detail

void initialise() {
  win32::guiThread = GetCurrentThreadId();
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_TAB_CLASSES |
                                           ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  win32::registerChildClass();
  win32::registerWindowClass();
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = win32::callProc;
  wc.hInstance = win32::instance();
  wc.lpszClassName = L"VelmoraCalls";
  RegisterClassExW(&wc);
  win32::callWindow = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

bool onGuiThread() { return GetCurrentThreadId() == win32::guiThread; }

void runMessageLoop() {
  MSG msg;
  while (!detail::liveWindows().empty()) {
    win32::loopWaiting = true;
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    win32::loopWaiting = false;
    if (got <= 0) break;
    win32::pumpMessage(msg);
  }
}

void processPendingEvents() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    win32::pumpMessage(msg);
  }
}

void eventfulWait(int ms) {
  if (ms <= 0) return;
  const DWORD start = GetTickCount();
  for (;;) {
    processPendingEvents();
    DWORD passed = GetTickCount() - start;  // wraps correctly
    if (passed >= static_cast<DWORD>(ms)) return;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(ms) - passed, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

void sleepMs(int ms) {
  if (ms > 0) Sleep(static_cast<DWORD>(ms));
}

int screenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int screenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

void messageBox(const std::string& text, const std::string& caption, BoxIcon icon) {
  UINT flags = MB_OK | MB_TASKMODAL;
  if (icon == BoxIcon::Information) flags |= MB_ICONINFORMATION;
  if (icon == BoxIcon::Stop) flags |= MB_ICONSTOP;
  std::wstring t = win32::wide(text), c = win32::wide(caption);
  detail::runOnGuiThread([&] { MessageBoxW(nullptr, t.c_str(), c.c_str(), flags); });
}

// Visual styles come from the application manifest; the scheme is kept for
// the silver drawing of our own controls.
void useXpLook(int scheme) {
  win32::xpScheme = scheme;
  detail::runOnGuiThread([&] { win32::switchOnXpLook(scheme); });
}

namespace {
struct HotKey {
  int id;
  Control label;
};
std::vector<HotKey>& hotKeys() {
  static std::vector<HotKey> keys;
  return keys;
}
}  // namespace

bool claimHotKey(Window window, int modifiers, int virtualKey, Control label) {
  bool claimed = false;
  detail::runOnGuiThread([&] {
    if (!window.node() || !window.node()->alive) return;
    int id = 0x100 + static_cast<int>(hotKeys().size());
    if (!RegisterHotKey(win32::windowHandle(*window.node()), id, static_cast<UINT>(modifiers), static_cast<UINT>(virtualKey)))
      return;
    hotKeys().push_back({id, label});
    claimed = true;
  });
  return claimed;
}

namespace win32 {
void hotKeyPressed(int id) {
  for (auto& k : hotKeys())
    if (k.id == id) k.label.raiseFeedback(0, 0);
}
}  // namespace win32

}  // namespace platform::gui
