// The updater window: its table of controls and the routines bound to them.
#include "updater/updater.h"

namespace gui = platform::gui;

namespace {

constexpr gui::Colour kPanelColour = gui::rgb(236, 236, 236);
constexpr gui::Colour kBlack = gui::rgb(0, 0, 0);
constexpr gui::Colour kWhite = gui::rgb(255, 255, 255);
constexpr gui::Colour kLightBlue = gui::rgb(165, 174, 241);
constexpr int kIconResource = 1;

void ignorePanelPress(int, int, int) {}
void ignoreZipNotification(int) {}

gui::ControlSpec place(const std::string& name, gui::Kind kind, const std::string& parent, int left,
                       int top, int width, int height) {
  gui::ControlSpec c;
  c.name = name;
  c.kind = kind;
  c.parent = parent;
  c.left = left;
  c.top = top;
  c.width = width;
  c.height = height;
  return c;
}

gui::ControlSpec headerLabel(const std::string& name, int left, int width, const std::string& text) {
  gui::ControlSpec c = place(name, gui::Kind::Label, "图片框2", left, -1, width, 19);
  c.caption = text;
  c.fore = kBlack;
  c.border = gui::Border::Single;
  c.gradient = {kLightBlue, kWhite, kWhite};
  return c;
}

gui::ControlSpec templateLabel(const std::string& name, int left, int width) {
  gui::ControlSpec c = place(name, gui::Kind::Label, "图片框2", left, 21, width, 19);
  c.fore = kBlack;
  c.back = kPanelColour;
  c.visible = false;
  return c;
}

std::vector<gui::ControlSpec> updaterControls() {
  std::vector<gui::ControlSpec> rows;

  gui::ControlSpec frame = place("图片框1", gui::Kind::PictureBox, "", 6, 8, 520, 160);
  frame.border = gui::Border::Sunken;
  rows.push_back(frame);

  gui::ControlSpec panel = place("图片框2", gui::Kind::PictureBox, "图片框1", 1, 1, 518, 158);
  panel.border = gui::Border::Single;
  panel.back = kPanelColour;
  panel.mousePressed = &ignorePanelPress;
  rows.push_back(panel);

  rows.push_back(headerLabel("标签1", -1, 124, "任务名称"));
  rows.push_back(headerLabel("标签2", 124, 59, "任务大小"));
  rows.push_back(headerLabel("标签3", 184, 124, "下载进度"));
  rows.push_back(headerLabel("标签4", 309, 64, "下载速度"));
  rows.push_back(headerLabel("标签5", 374, 142, "相关操作"));

  rows.push_back(templateLabel("标签6", 2, 124));
  rows.push_back(templateLabel("标签7", 124, 59));
  rows.push_back(templateLabel("标签9", 184, 124));

  gui::ControlSpec bar = place("多功能条1", gui::Kind::MultiBar, "图片框2", 184, 22, 124, 19);
  bar.barForm = gui::BarForm::Progress;
  bar.visible = false;
  rows.push_back(bar);

  rows.push_back(templateLabel("标签8", 309, 64));

  gui::ControlSpec line = place("外形框1", gui::Kind::ShapeBox, "图片框2", 1, 40, 513, 1);
  line.shape = gui::ShapeForm::HorizontalLine;
  line.lineColour = kLightBlue;
  line.lineWidth = 1;
  line.filled = false;
  line.visible = false;
  rows.push_back(line);

  gui::ControlSpec handOver = place("标签10", gui::Kind::Label, "图片框2", 399, 133, 48, 16);
  handOver.visible = false;
  handOver.feedback = &installAndRestart;
  rows.push_back(handOver);

  gui::ControlSpec zip = place("ZIP压缩1", gui::Kind::ZipObject, "图片框2", 439, 101, 32, 32);
  zip.visible = false;
  zip.notified = &ignoreZipNotification;
  rows.push_back(zip);

  gui::ControlSpec scroll = place("多功能条2", gui::Kind::MultiBar, "", 525, 8, 16, 160);
  scroll.barForm = gui::BarForm::ScrollBar;
  scroll.vertical = true;
  rows.push_back(scroll);

  gui::ControlSpec log = place("编辑框1", gui::Kind::EditBox, "", 7, 171, 532, 93);
  log.border = gui::Border::Sunken;
  log.fore = kBlack;
  log.back = kWhite;
  log.multiLine = true;
  log.verticalScroll = true;
  log.horizontalScroll = false;
  log.readOnly = false;
  rows.push_back(log);

  rows.push_back(place("状态条1", gui::Kind::StatusBar, "", 0, 268, 544, 20));
  return rows;
}

gui::WindowSpec makeUpdaterWindowSpec() {
  gui::WindowSpec w;
  w.title = "Velmora升级管理器";
  w.width = 550;
  w.height = 132;
  w.centred = true;
  w.frame = gui::Frame::Resizable;
  w.back = kPanelColour;
  w.taskbar = true;
  w.esc = gui::EscKey::AskToClose;
  w.icon = kIconResource;
  w.controls = updaterControls();
  w.created = &startUpdate;
  w.closeQuery = &stopOnClose;
  return w;
}

}  // namespace

const gui::WindowSpec& updaterWindowSpec() {
  static const gui::WindowSpec spec = makeUpdaterWindowSpec();
  return spec;
}

gui::Window updaterWindow() { return gui::windowOf(updaterWindowSpec()); }

gui::Control windowControl(const std::string& name) { return updaterWindow().control(name); }

void appendToLog(const std::string& text) {
  // The handle found by startUpdate spares the facility's thread two trips
  // to the GUI thread per message; each one counts over thousands of blocks.
  gui::Control log;
  {
    std::lock_guard lock(taskListsLock);
    log = eventLog;
  }
  if (!log) log = windowControl("编辑框1");
  log.appendText(text);
}
