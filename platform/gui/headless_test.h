#pragma once
// Test surface of the headless backend (host builds only).
//
// Virtual time: the clock starts at 0 and moves only when a test advances it
// or an eventful wait on the GUI thread runs (a wait jumps from one timer tick
// to the next, so a wait of hours takes microseconds). Calls from other
// threads queue up and run whenever the GUI thread pumps: advance, runUntil,
// eventfulWait, processPendingEvents.
//
// A program that ends itself (platform::endProgram) runs its exit routine,
// then unwinds back to the outermost call of this API or to runProgram; the
// test process lives on and programEnded()/exitCode() tell what happened.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/gui/gui.h"

namespace platform::gui::headless {

// Forgets every window, record and queued call, sets the clock to 0, makes the
// calling thread the GUI thread and installs the program-end hook.
void reset();

std::int64_t now();
// Runs virtual time forward by `ms`, firing due timers in order.
void advance(int ms);
// Runs the calls queued by other threads.
void pump();
// Pumps in real time until `done` holds or the real timeout passes.
bool runUntil(const std::function<bool()>& done, int realTimeoutMs = 5000);
// Runs a program's entry (start routine, message loop) until it returns or ends.
void runProgram(const std::function<void()>& entry);
bool programEnded();
int exitCode();  // -1 until the program has ended

std::vector<Window> windows();  // live windows, in load order
Window findWindow(const std::string& title);

// Input on a control by stored name; false when there is no such control or
// it cannot take the input (hidden, disabled). Coordinates are client pixels.
bool click(Window window, const std::string& control);
bool press(Window window, const std::string& control, int x = 1, int y = 1, int keys = kLeftButton);
bool release(Window window, const std::string& control, int x = 1, int y = 1, int keys = 0);
// Types at the end of an edit box, as a user would.
bool typeText(Window window, const std::string& control, const std::string& text);
// The Esc key on the window.
void pressEsc(Window window);
// The close box (raises the close query).
void userClose(Window window);
// A system-wide hot key pressed; false when nobody claimed it.
bool pressHotKey(int modifiers, int virtualKey);
// Browser box events: the status text it reports, and a new-window request
// (returns the routine's answer; false when none is bound).
void setStatusText(Window window, const std::string& control, const std::string& text);
bool requestNewWindow(Window window, const std::string& control);

struct MessageBoxRecord {
  std::string text;
  std::string caption;
  BoxIcon icon = BoxIcon::None;
  std::int64_t shownAt = 0;  // virtual ms
};
// Every message box shown since reset, in order.
std::vector<MessageBoxRecord> messageBoxes();
// Runs when a box opens, inside messageBox (so it may advance time, click ...);
// the box closes ("OK") when the handler returns.
void onMessageBox(std::function<void(const MessageBoxRecord&)> handler);

struct HotKeyRecord {
  Window window;
  int modifiers = 0;
  int virtualKey = 0;
  Control label;
};
std::vector<HotKeyRecord> hotKeys();

void setScreenSize(int width, int height);  // 1024 x 768 after reset
int xpLookScheme();                         // 0 until useXpLook

}  // namespace platform::gui::headless
