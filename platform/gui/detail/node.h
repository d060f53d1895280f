#pragma once
// The live model behind Control and Window handles, shared by both backends.
// Touched only on the GUI thread.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/gui.h"

namespace platform::gui::detail {

struct ControlNode;
struct WindowNode;

// The backend's live half of a control. Core changes `node.spec` first, then
// calls the hook of what changed.
class ControlPeer {
public:
  explicit ControlPeer(ControlNode& node) : node_(node) {}
  virtual ~ControlPeer() = default;
  ControlPeer(const ControlPeer&) = delete;
  ControlPeer& operator=(const ControlPeer&) = delete;

  virtual void create() {}  // after the parent's peer exists
  virtual void captionChanged() {}
  virtual void coloursChanged() {}
  virtual void visibleChanged() {}
  virtual void enabledChanged() {}
  virtual void placeChanged() {}
  virtual void positionChanged() {}
  virtual void periodChanged(int /*oldPeriod*/) {}
  virtual void pageChanged() {}
  virtual void navigate() {}
  // The left button went down on the control, before the table's routine
  // runs (a hyperlink box opens its address here).
  virtual void pressed() {}
  // The default keeps the text in the model only.
  virtual void appendText(const std::string& text);
  // Live reads for state the user can change without the program.
  virtual std::string caption() const;
  virtual int position() const;
  virtual std::string statusText() const;

protected:
  ControlNode& node_;
};

class WindowPeer {
public:
  explicit WindowPeer(WindowNode& node) : node_(node) {}
  virtual ~WindowPeer() = default;
  WindowPeer(const WindowPeer&) = delete;
  WindowPeer& operator=(const WindowPeer&) = delete;

  virtual void create() = 0;   // before any control peer
  virtual void destroy() = 0;  // the window goes; peers of controls go with it
  virtual void show(bool shown) = 0;
  virtual bool visible() const = 0;
  virtual void minimise() = 0;
  virtual bool minimised() const = 0;
  virtual void restore() = 0;
  virtual void activate() = 0;
  virtual void place(int& left, int& top, int& width, int& height) const = 0;
  virtual void moveTo(int left, int top) = 0;
  virtual bool shapeFromPicture() { return false; }

protected:
  WindowNode& node_;
};

struct ControlNode {
  ControlSpec spec;  // current settings
  WindowNode* window = nullptr;
  ControlNode* parent = nullptr;  // null: the window's client area
  std::unique_ptr<ControlPeer> peer;
  std::string address;  // web-browser box
  int currentPage = 0;  // tab control
  std::string status;   // web-browser box: its last status notification
};

struct WindowNode {
  const WindowSpec* spec = nullptr;
  std::vector<std::unique_ptr<ControlNode>> controls;  // creation order
  std::map<std::string, ControlNode*> byName;
  int copies = 0;
  bool alive = true;
  std::unique_ptr<WindowPeer> peer;

  ControlNode* find(const std::string& name) const {
    auto it = byName.find(name);
    return it == byName.end() ? nullptr : it->second;
  }
};

// Thrown by the headless backend's program-end hook and caught by its own
// dispatcher; never by the Win32 backend. Routines are not meant to catch it.
struct ProgramEndSignal {
  int exitCode;
};

// All live windows, in load order (GUI thread only).
std::vector<WindowNode*>& liveWindows();
// Runs the close query when asked; destroys the window when it allows it.
void closeWindow(WindowNode& window, bool ask);
// Frees windows whose peers are destroyed (called by the backend at a safe point).
void discardDeadWindows();
// Calls `f`, swallowing every exception except the headless end of program,
// so that nothing crosses a window procedure or thread boundary.
void callRoutine(const std::function<void()>& f);

}  // namespace platform::gui::detail
