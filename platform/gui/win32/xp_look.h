#pragma once
// The XP-like look of push buttons (message boxes' included) for the GUI
// thread: 1 blue, 2 olive green, 3 silver. Call on the GUI thread.
namespace platform::gui::win32 {

void switchOnXpLook(int scheme);

}  // namespace platform::gui::win32
