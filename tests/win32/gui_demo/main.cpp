// A framed window from a control table: labels, a gradient label, an edit
// box that a worker thread appends to through the synchronous path, a
// progress bar set by the hand-over label's feedback event, a status bar.
// Esc asks to close; the close query allows it and the program ends with 0.
#include <windows.h>

#include <string>
#include <thread>

#include "platform/gui/gui.h"
#include "platform/services.h"

namespace gui = platform::gui;

namespace {

gui::Window mainWindow;

int onHandOver(int done, int) {
  mainWindow.control("多功能条1").setPosition(done);
  mainWindow.control("标签3").setCaption("下载结束");
  return done;
}

void appendFromWorker() {
  gui::Control log = mainWindow.control("编辑框1");
  for (int i = 1; i <= 5; ++i) log.appendText("第" + std::to_string(i) + "行：下载开始\r\n");
  mainWindow.control("标签10").raiseFeedback(60, 0);
}

// Detached: the process end takes it along, so the window never waits for it.
void onCreated() { std::thread(appendFromWorker).detach(); }

bool onCloseQuery() { return true; }

gui::ControlSpec label(const char* name, int left, int top, int width, int height, const char* text) {
  gui::ControlSpec c;
  c.name = name;
  c.kind = gui::Kind::Label;
  c.left = left;
  c.top = top;
  c.width = width;
  c.height = height;
  c.caption = text;
  c.fore = gui::rgb(0, 0, 0);
  c.back = gui::rgb(236, 236, 236);
  return c;
}

gui::WindowSpec demoWindow() {
  gui::WindowSpec w;
  w.title = "运行时演示窗口";
  w.width = 420;
  w.height = 300;
  w.frame = gui::Frame::Resizable;
  w.back = gui::rgb(236, 236, 236);
  w.esc = gui::EscKey::AskToClose;
  w.created = onCreated;
  w.closeQuery = onCloseQuery;

  gui::ControlSpec header = label("标签1", 10, 10, 124, 19, "任务名称");
  header.border = gui::Border::Single;
  header.gradient = {gui::rgb(165, 174, 241), gui::rgb(255, 255, 255), gui::rgb(255, 255, 255)};
  gui::ControlSpec name = label("标签2", 10, 34, 124, 19, "升级包.zip");
  gui::ControlSpec state = label("标签3", 140, 34, 124, 19, "准备下载");
  gui::ControlSpec hand = label("标签10", 300, 200, 48, 16, "");
  hand.visible = false;
  hand.feedback = onHandOver;

  gui::ControlSpec bar;
  bar.name = "多功能条1";
  bar.kind = gui::Kind::MultiBar;
  bar.left = 140;
  bar.top = 10;
  bar.width = 124;
  bar.height = 19;

  gui::ControlSpec edit;
  edit.name = "编辑框1";
  edit.kind = gui::Kind::EditBox;
  edit.left = 10;
  edit.top = 60;
  edit.width = 380;
  edit.height = 150;
  edit.fore = gui::rgb(0, 0, 0);
  edit.back = gui::rgb(255, 255, 255);

  gui::ControlSpec status;
  status.name = "状态条1";
  status.kind = gui::Kind::StatusBar;
  status.left = 0;
  status.top = 240;
  status.width = 400;
  status.height = 20;

  w.controls = {header, name, state, bar, edit, hand, status};
  return w;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  gui::initialise();
  gui::useXpLook(3);
  static const gui::WindowSpec spec = demoWindow();
  mainWindow = gui::loadWindow(spec);
  gui::runMessageLoop();
  platform::endProgram(0);
}
