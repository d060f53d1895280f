#pragma once
// The GUI runtime both programs build their windows with.
//
// A window is data: a WindowSpec with its ControlSpec rows, loaded into a live
// window by loadWindow(). Routines then reach controls by their stored names
// (GBK texts such as "标签10") and use the typed operations of Control and
// Window. Event bindings are fields of the rows; plain functions fit them.
//
// Threads: windows and controls belong to the GUI thread, the thread that
// called initialise(). Every operation of Control and Window may be called
// from any thread: off the GUI thread it is carried out on the GUI thread
// while the caller waits. Routines bound to events always run on the GUI
// thread, one at a time (nesting only through eventfulWait and messageBox).
//
// Two backends give this same header: Win32 (the product) and headless (host
// tests, virtual clock; see headless_test.h). Link `velmora_gui`.
#include <concepts>
#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace platform::gui {

// ---------------------------------------------------------------- basic types

// An RGB triple laid out like a Win32 COLORREF (0x00BBGGRR).
using Colour = std::int32_t;
constexpr Colour rgb(int r, int g, int b) { return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16); }
// The platform's standard colour for the element (button face for a background).
constexpr Colour kDefaultColour = -1;
constexpr int colourRed(Colour c) { return c & 0xFF; }
constexpr int colourGreen(Colour c) { return (c >> 8) & 0xFF; }
constexpr int colourBlue(Colour c) { return (c >> 16) & 0xFF; }

// Modifier key state passed with mouse events (Win32 MK_* bits).
enum KeyState : int { kShiftKey = 0x04, kControlKey = 0x08, kLeftButton = 0x01, kRightButton = 0x02 };

// An event binding: accepts any callable with the event's arguments, and also
// one taking no arguments at all (the arguments are then dropped and a result
// type's value-initialised default is returned if the routine gives none).
template <class Signature> class Event;
template <class R, class... A> class Event<R(A...)> {
public:
  Event() = default;
  Event(std::nullptr_t) {}
  template <class F>
    requires std::is_invocable_v<F&, A...> && (!std::same_as<std::decay_t<F>, Event>)
  Event(F f) : fn_(std::move(f)) {}
  template <class F>
    requires(sizeof...(A) > 0 && !std::is_invocable_v<F&, A...> && std::is_invocable_v<F&>)
  Event(F f)
      : fn_([f = std::move(f)](A...) mutable -> R {
          if constexpr (std::is_void_v<R> || std::is_void_v<std::invoke_result_t<F&>>) {
            f();
            if constexpr (!std::is_void_v<R>) return R{};
          } else {
            return f();
          }
        }) {}
  explicit operator bool() const { return static_cast<bool>(fn_); }
  R operator()(A... a) const { return fn_(std::forward<A>(a)...); }

private:
  std::function<R(A...)> fn_;
};

// ------------------------------------------------------------------- controls

enum class Kind {
  Label,             // text, colours, alignment, border, vertical gradient, feedback event
  TransparentLabel,  // a label without background: draws only its text over the parent
  PushButton,        // clicked
  PictureBox,        // container; border, back colour, optional picture, mouse events
  PictureButton,     // normal / hover / disabled pictures, clicked
  ShapeBox,          // rectangle or line; a rectangle may contain controls
  HyperlinkBox,      // link text with normal / hover / visited colours, hand cursor
  TabControl,        // advanced tab control; its pages are numbered from 0
  WebBrowser,        // embedded browser: address, status text, new-window event
  Timer,             // invisible; period rules in Control::setPeriod
  EditBox,           // multi-line text the user can type in; appendText
  StatusBar,         // docked at the bottom of its window's client area
  MultiBar,          // progress form or scroll-bar form
  ZipObject,         // invisible placeholder; the ZIP work is done by the ZIP extractor
};

enum class Align { Left, Centre, Right };
enum class Border { None, Single, Sunken, Raised };
enum class ShapeForm { Rectangle, HorizontalLine, VerticalLine };
enum class BarForm { Progress, ScrollBar };

// One row of a window's control table. Places are pixels in the client area
// of the parent (a negative left or top puts the edge under the border).
struct ControlSpec {
  std::string name;    // the stored name, GBK, unique within the window
  Kind kind = Kind::Label;
  std::string parent;  // stored name of the container; empty = the window
  int page = -1;       // when the parent is a tab control: its page index
  int left = 0, top = 0, width = 0, height = 0;
  std::string caption;  // the window text of the control (empty for most non-text kinds)
  Colour fore = kDefaultColour;
  Colour back = kDefaultColour;
  Align align = Align::Left;
  bool verticalCentre = true;  // single line, vertically centred, no wrapping
  Border border = Border::None;
  bool visible = true;         // shown at start
  bool enabled = true;
  bool handCursor = false;
  // Label: vertical gradient over the whole control, top to bottom through
  // equally spaced colours (empty = plain back colour).
  std::vector<Colour> gradient;
  // Pictures are resource ids of the executable (0 = none): picture box,
  // picture button (normal, hover, disabled).
  int picture = 0, hoverPicture = 0, disabledPicture = 0;
  // Shape box.
  ShapeForm shape = ShapeForm::Rectangle;
  Colour lineColour = kDefaultColour;
  int lineWidth = 1;
  bool filled = true;  // a rectangle is filled with `back`
  // Multi-function bar.
  BarForm barForm = BarForm::Progress;
  bool vertical = false;
  int minimum = 0, maximum = 100, position = 0;
  // Timer: initial period in ms, 0 = stopped.
  int period = 0;
  // Edit box.
  bool multiLine = true, verticalScroll = true, horizontalScroll = false, readOnly = false;
  // Hyperlink box.
  Colour hoverColour = kDefaultColour, visitedColour = kDefaultColour;
  std::string target;  // address opened on click; empty = only the event
  // Tab control: one caption per page.
  std::vector<std::string> pages;
  // Web-browser box.
  std::string address;  // start address
  bool offline = false, silent = false;

  // Events (only those the kind raises are used).
  Event<void()> clicked;
  Event<void(int x, int y, int keys)> mousePressed;   // left button, client coordinates
  Event<void(int x, int y, int keys)> mouseReleased;  // left button
  Event<int(int a, int b)> feedback;                  // label: raiseFeedback / postFeedback
  Event<void()> elapsed;                              // timer period elapsed
  Event<void(int value)> notified;                    // ZIP object notification
  Event<bool()> newWindow;                            // browser wants a new window; true allows it
  Event<void(int page)> pageChanged;                  // tab control
};

// ---------------------------------------------------------------- windows

enum class Frame {
  None,       // no border, no caption
  Resizable,  // resizable frame, title bar, system menu, minimise box, no maximise box
};
enum class EscKey {
  Nothing,
  Close,       // closes the window at once (no close query)
  AskToClose,  // exactly like the close box: raises the close query
};

struct WindowSpec {
  std::string title;
  int width = 0, height = 0;  // outer size
  int left = 50, top = 50;    // used when not centred
  bool centred = true;        // centred on the whole screen when it opens
  Frame frame = Frame::Resizable;
  Colour back = kDefaultColour;
  bool taskbar = true;
  EscKey esc = EscKey::Nothing;
  int icon = 0;                // icon resource id, 0 = the system's default
  bool dragBySurface = false;  // left button on the surface moves the window
  int backPicture = 0;         // bitmap resource drawn as the whole background
  Colour keyColour = kDefaultColour;  // with backPicture: pixels of this colour are cut out
  std::vector<ControlSpec> controls;  // parents come before their children

  Event<void()> created;      // once, after all controls exist, before the window shows
  Event<bool()> closeQuery;   // user close (box, Alt+F4, Esc, session end); true = close
  Event<void()> destroyed;    // the window is gone
};

namespace detail {
struct ControlNode;
struct WindowNode;
}  // namespace detail

// A handle to a live control. Cheap to copy; valid until its window is gone.
// A default-constructed handle (or one for a missing name) is empty: its
// operations do nothing and its getters give empty values.
class Control {
public:
  Control() = default;
  explicit Control(detail::ControlNode* node) : node_(node) {}
  explicit operator bool() const { return node_ != nullptr; }
  bool operator==(const Control&) const = default;

  std::string name() const;
  Kind kind() const;
  // The current settings of the row (place, texts, colours as they are now).
  ControlSpec settings() const;

  std::string caption() const;  // edit box: the whole text, typed text included
  void setCaption(const std::string& text);
  Colour foreColour() const;
  void setForeColour(Colour c);
  Colour backColour() const;
  void setBackColour(Colour c);
  bool visible() const;
  void setVisible(bool shown);
  void show() { setVisible(true); }
  void hide() { setVisible(false); }
  bool enabled() const;
  void setEnabled(bool on);
  int left() const;
  int top() const;
  int width() const;
  int height() const;
  void setLeft(int v);
  void setTop(int v);
  void setWidth(int v);
  void setHeight(int v);
  void move(int left, int top, int width, int height);

  // Multi-function bar: clamped to the bar's range.
  int position() const;
  void setPosition(int value);

  // Timer: 0 stops it; a positive period starts it or restarts it with the
  // new period; setting the period it already has changes nothing (a running
  // timer keeps its phase). Negative values count as 0.
  int period() const;
  void setPeriod(int ms);

  // Edit box: moves the caret to the end of the present text, scrolls the end
  // into view and inserts `text` there. No line break is added.
  void appendText(const std::string& text);

  // Web-browser box.
  void navigate(const std::string& address);
  std::string address() const;
  std::string statusText() const;

  // Tab control.
  int currentPage() const;
  void setCurrentPage(int page);

  // Label feedback event. raiseFeedback runs the bound routine on the GUI
  // thread and returns its result; the raising thread waits (0 when nothing is
  // bound or the program is ending). postFeedback queues it and returns at once.
  int raiseFeedback(int a, int b);
  void postFeedback(int a, int b);

  // A new control of the same kind in the same container, with the same
  // settings, place, size and bindings; its name is the original's with "#n"
  // appended (n counts the copies of that window from 1).
  Control copy();

  detail::ControlNode* node() const { return node_; }

private:
  detail::ControlNode* node_ = nullptr;
};

// A handle to a live top-level window. Valid until the window is gone.
class Window {
public:
  Window() = default;
  explicit Window(detail::WindowNode* node) : node_(node) {}
  explicit operator bool() const { return node_ != nullptr; }
  bool operator==(const Window&) const = default;

  // The control by stored name; an empty handle when there is none.
  Control control(const std::string& name) const;
  bool exists() const;  // still alive
  std::string title() const;

  void show();
  void hide();
  bool visible() const;  // a minimised window counts as visible
  // Minimising is effective only while the window is visible.
  void minimise();
  bool minimised() const;
  void restore();
  void activate();
  int left() const;
  int top() const;
  int width() const;
  int height() const;
  void setLeft(int v);
  void setTop(int v);
  void moveTo(int left, int top);
  // Cuts out of the window every pixel of its back picture that has the
  // spec's key colour (a shaped window). False when there is no picture.
  bool shapeFromPicture();
  // The user's close: raises the close query and closes only on true.
  void requestClose();
  // Closes at once, without the close query.
  void close();

  detail::WindowNode* node() const { return node_; }

private:
  detail::WindowNode* node_ = nullptr;
};

// ------------------------------------------------------------------ runtime

// Makes the calling thread the GUI thread. Call once before anything else.
void initialise();
bool onGuiThread();

// Runs `routine` on the GUI thread while the calling thread waits; on the GUI
// thread it is simply called. Every Control and Window operation inside it is
// then a plain call, so a batch of updates costs one trip to the GUI thread
// instead of one per operation, and no other thread's call runs in between
// (unless the routine itself waits: eventfulWait, messageBox).
// An exception from the routine comes out of this call in the calling thread.
// False when it could not run (the program is ending).
bool runOnGuiThread(const std::function<void()>& routine);

// Creates the window from its table, runs its created event, then shows it,
// centred when asked, and returns (not modal). When a window of this same
// spec object already exists no second one is made: it is restored if it is
// minimised, otherwise activated, and that window is returned. The WindowSpec must
// outlive the window.
Window loadWindow(const WindowSpec& spec);

// The live window loaded from `spec`; empty when there is none. Routines of
// a window's created event reach their controls through it.
Window windowOf(const WindowSpec& spec);

// Dispatches window events until the last window is gone.
void runMessageLoop();

// A nested loop that dispatches every window event of the GUI thread and
// returns once `ms` milliseconds (system tick) have passed; 0 or less returns
// at once. The end of the program ends every running wait at once.
void eventfulWait(int ms);
// Handles the window events pending now, then returns.
void processPendingEvents();
// Blocks the calling thread; no events are handled meanwhile.
void sleepMs(int ms);

// The whole primary screen, in pixels.
int screenWidth();
int screenHeight();

enum class BoxIcon { None, Information, Stop };
// OK only, no owner window, task-modal; window events keep running while it is
// open. Returns when the user has answered.
void messageBox(const std::string& text, const std::string& caption = "信息：",
                BoxIcon icon = BoxIcon::None);

// Switches the XP-like look on for the GUI thread: 1 blue, 2 olive, 3 silver.
void useXpLook(int scheme);

// Claims a system-wide hot key for `window`; pressing it raises the feedback
// event of `label` on the GUI thread with (0, 0). Modifiers are Win32 MOD_* bits.
bool claimHotKey(Window window, int modifiers, int virtualKey, Control label);

// Programs end through platform::endProgram (services.h): the exit routine
// runs and every running eventfulWait and the message loop end with it.

}  // namespace platform::gui
