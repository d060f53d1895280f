#pragma once
// Shared pieces of the Win32 backend: text conversion, the child-window peer
// every visible control kind derives from, and lookups by window handle.
#include <windows.h>

#include <functional>
#include <string>

#include "platform/gui/detail/node.h"

namespace platform::gui::win32 {

std::wstring wide(const std::string& gbk);
std::string narrow(const std::wstring& text);
COLORREF colourOr(Colour c, int systemColour);
HINSTANCE instance();

// Window class of our own children (labels, panels, shapes): painting and
// mouse events go to the peer; messages from its children are reflected.
extern const wchar_t kChildClass[];

class ChildPeer : public detail::ControlPeer {
public:
  using ControlPeer::ControlPeer;
  ~ChildPeer() override;

  void create() override;
  void captionChanged() override;
  void coloursChanged() override;
  void visibleChanged() override;
  void enabledChanged() override;
  void placeChanged() override;

  HWND hwnd() const { return hwnd_; }
  detail::ControlNode& node() { return node_; }
  // The window that children naming this control as parent go into.
  virtual HWND containerFor(int /*page*/) { return hwnd_; }
  // Messages the parent got for this child (WM_COMMAND, WM_NOTIFY,
  // WM_CTLCOLOR*, WM_DRAWITEM, WM_HSCROLL, WM_VSCROLL).
  virtual bool onReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  // Only for kChildClass windows.
  virtual void paint(HDC dc, const RECT& client);
  virtual bool onMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

protected:
  virtual const wchar_t* className() const { return kChildClass; }
  virtual DWORD style() const;
  virtual DWORD exStyle() const;
  virtual void afterCreate() {}
  HWND parentWindow() const;
  HBRUSH backBrush();  // the back colour as a brush owned by the peer

  HWND hwnd_ = nullptr;
  HBRUSH brush_ = nullptr;
  COLORREF brushColour_ = 0;
};

ChildPeer* peerOf(HWND hwnd);
detail::WindowNode* windowOf(HWND topLevel);
// Reflects a parent's message to the child it concerns; false when not ours.
bool reflect(HWND parent, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
// Applies the Esc rule; true when the message was used.
bool handleEscape(const MSG& msg);
void pumpMessage(MSG& msg);
// Timers of the backend are thread timers on the window of the control.
void timerFired(UINT_PTR id);
HWND topLevelOf(const detail::ControlNode& node);
void registerChildClass();
HWND windowHandle(detail::WindowNode& window);
void hotKeyPressed(int id);
void registerWindowClass();
// Runs `routine` on the GUI thread and waits for it (call_queue.cpp): queued,
// with `wakeMessage` sent to `callWindow` when the GUI thread is not already
// taking calls. The window calls takeQueuedCalls for `wakeMessage` and for
// its timer kTakeCallsTimer (after killing it).
bool handOverCall(HWND callWindow, UINT wakeMessage, const std::function<void()>& routine);
void takeQueuedCalls(HWND callWindow);
const UINT_PTR kTakeCallsTimer = 0x5143;
// True while runMessageLoop waits for the next message (runtime.cpp).
bool messageLoopWaiting();

}  // namespace platform::gui::win32
