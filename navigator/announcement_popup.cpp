// The announcement popup: once loaded by the poll, it rises 10 px per 70 ms tick
// from below the screen, waits, sinks back and stays parked for hours.
#include "navigator/announcement_popup.h"

#include "navigator/announcement.h"

#include "navigator/announcement_popup_picture.h"
#include "navigator/navigator.h"
#include "navigator/service_host.h"
#include "platform/services.h"
#include "platform/text.h"

namespace gui = platform::gui;

namespace {

constexpr int kStepPixels = 10;
constexpr int kTickMs = 70;

gui::ControlSpec row(const char* name, gui::Kind kind, const char* parent, int left, int top, int width,
                     int height) {
  gui::ControlSpec r;
  r.name = name;
  r.kind = kind;
  r.parent = parent;
  r.left = left;
  r.top = top;
  r.width = width;
  r.height = height;
  return r;
}

gui::WindowSpec makePopupSpec() {
  using gui::ControlSpec;
  using gui::Kind;
  gui::WindowSpec w;
  w.title = "";
  w.width = 243;
  w.height = 164;
  w.left = 50;
  w.top = 50;
  w.centred = true;
  w.frame = gui::Frame::None;
  w.taskbar = false;
  w.esc = gui::EscKey::Nothing;
  w.dragBySurface = true;
  w.backPicture = IDB_POPUP_BACK;
  w.keyColour = gui::rgb(255, 0, 255);
  w.created = onPopupCreated;

  ControlSpec frame = row("外形框1", Kind::ShapeBox, "", 12, 32, 216, 104);
  frame.back = gui::rgb(255, 255, 255);
  frame.lineColour = gui::rgb(236, 236, 236);
  frame.lineWidth = 1;
  frame.filled = true;
  w.controls.push_back(frame);

  ControlSpec page = row("超文本浏览框1", Kind::WebBrowser, "外形框1", -4, 0, 254, 104);
  page.address = serviceAddress("/gx/gg2.html");
  page.offline = false;
  page.silent = false;
  w.controls.push_back(page);

  ControlSpec home = row("透明标签2", Kind::TransparentLabel, "", 184, 136, 48, 24);
  home.handCursor = true;
  home.mousePressed = openHomePage;
  w.controls.push_back(home);

  ControlSpec close = row("透明标签3", Kind::TransparentLabel, "", 200, 0, 32, 16);
  close.handCursor = true;
  close.mousePressed = closePopup;
  w.controls.push_back(close);

  ControlSpec rise = row("时钟1", Kind::Timer, "", 0, 0, 0, 0);
  rise.elapsed = slideUpStep;
  w.controls.push_back(rise);
  ControlSpec sink = row("时钟2", Kind::Timer, "", 0, 0, 0, 0);
  sink.elapsed = slideDownStep;
  w.controls.push_back(sink);
  return w;
}

// Looked up afresh after every wait: the program may have ended inside it.
gui::Window popup() { return gui::windowOf(announcementPopupSpec()); }

// The whole primary screen, read anew at every step.
int homeColumn() { return gui::screenWidth() - 250; }
int shownTop() { return gui::screenHeight() - 190; }
int parkedTop() { return gui::screenHeight(); }

void setTimerPeriod(const char* timer, int ms) {
  if (gui::Window w = popup()) w.control(timer).setPeriod(ms);
}

}  // namespace

const gui::WindowSpec& announcementPopupSpec() {
  // Built on first use: its page address depends on serviceHost, which host
  // tests set before the program starts.
  static const gui::WindowSpec spec = makePopupSpec();
  return spec;
}

void loadAnnouncementPopup() { gui::loadWindow(announcementPopupSpec()); }

void onPopupCreated() {
  gui::Window w = popup();
  w.shapeFromPicture();
  w.moveTo(homeColumn(), parkedTop());
  w.control("时钟1").setPeriod(kTickMs);
  popupWaitMs = platform::textToInteger("100000");
}

void slideUpStep() {
  gui::Window w = popup();
  if (!w) return;
  // "Not yet up" is "below the shown top", not "anywhere but at it": after the
  // screen height changes by a few pixels the exact top is never met, and the
  // popup would climb off the screen for good.
  if (w.top() > shownTop() && w.left() == homeColumn()) {
    w.show();
    w.setTop(w.top() - kStepPixels);
    return;
  }
  w.control("时钟1").setPeriod(0);
  gui::eventfulWait(popupWaitMs);
  // A close inside the wait has already sent the popup back and restarted the
  // rise; sinking now as well would pin it under the screen edge for good,
  // each tick of one timer undoing the other.
  gui::Window after = popup();
  if (after && after.control("时钟1").period() == 0) after.control("时钟2").setPeriod(kTickMs);
}

void slideDownStep() {
  gui::Window w = popup();
  if (!w) return;
  if (w.left() != homeColumn()) {
    // Dragged sideways by the user: it stays where it was put.
    w.control("时钟2").setPeriod(0);
    return;
  }
  if (w.top() >= parkedTop()) {
    w.control("时钟2").setPeriod(0);
    gui::eventfulWait(platform::textToInteger("10000000"));
    setTimerPeriod("时钟1", kTickMs);
    return;
  }
  w.setTop(w.top() + kStepPixels);
}

void closePopup() {
  gui::Window w = popup();
  if (!w) return;
  w.hide();
  w.moveTo(homeColumn(), parkedTop());
  gui::eventfulWait(popupWaitMs);
  setTimerPeriod("时钟1", kTickMs);
}

void openHomePage() {
  // explorer.exe hands the address on to the user's web browser.
  platform::shellOpen("explorer.exe", serviceAddress(""));
}
