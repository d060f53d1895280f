// System-wide hot keys. One hidden message-only window of the GUI thread owns
// every claim, so that WM_HOTKEY needs nothing of the windows' own procedure;
// a press raises the feedback event of the label named with the claim.
#include <windows.h>

#include <map>

#include "platform/gui/detail/backend.h"
#include "platform/gui/gui.h"

namespace platform::gui {
namespace {

std::map<int, Control>& claims() {
  static std::map<int, Control> byId;
  return byId;
}

LRESULT CALLBACK hotKeyProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_HOTKEY) return DefWindowProcW(window, message, wParam, lParam);
  auto it = claims().find(static_cast<int>(wParam));
  if (it == claims().end()) return 0;
  Control label = it->second;
  detail::callRoutine([&] { label.raiseFeedback(0, 0); });
  return 0;
}

HWND hotKeyWindow() {
  static HWND window = [] {
    WNDCLASSW c{};
    c.lpfnWndProc = hotKeyProcedure;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = L"VelmoraHotKeys";
    RegisterClassW(&c);
    return CreateWindowExW(0, c.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, c.hInstance, nullptr);
  }();
  return window;
}

}  // namespace

bool claimHotKey(Window window, int modifiers, int virtualKey, Control label) {
  bool claimed = false;
  detail::runOnGuiThread([&] {
    if (!window.exists() || !hotKeyWindow()) return;
    int id = static_cast<int>(claims().size()) + 1;
    // MOD_NOREPEAT: a held key toggles once, not at the keyboard's repeat rate.
    UINT mods = static_cast<UINT>(modifiers), key = static_cast<UINT>(virtualKey);
    if (!RegisterHotKey(hotKeyWindow(), id, mods | MOD_NOREPEAT, key) && !RegisterHotKey(hotKeyWindow(), id, mods, key))
      return;
    claims()[id] = label;
    claimed = true;
  });
  return claimed;
}

}  // namespace platform::gui
