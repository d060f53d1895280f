// The main window: custom title bar, boss key, banner, login, contact, version.
#include "navigator/main_window.h"

#include "navigator/announcement.h"
#include "navigator/catalogue.h"
#include "navigator/resource_ids.h"
#include "navigator/service_host.h"
#include "navigator/update_check.h"
#include "platform/http_reader.h"
#include "platform/services.h"
#include "platform/text.h"

using namespace platform::gui;

namespace {

constexpr Colour kWindowBack = rgb(236, 236, 236);
constexpr int kBossKey = 0x72;  // F3

ControlSpec titleBarRows(ControlSpec row, const char* name, Kind kind, int left, int top, int width,
                         int height) {
  row.name = name;
  row.kind = kind;
  row.parent = "图片框标题栏";
  row.left = left;
  row.top = top;
  row.width = width;
  row.height = height;
  return row;
}

ControlSpec pictureButton(const char* name, int left, int width, int picture, int hoverPicture) {
  ControlSpec row = titleBarRows({}, name, Kind::PictureButton, left, 4, width, 17);
  row.picture = picture;
  row.hoverPicture = hoverPicture;
  return row;
}

void addTitleBar(WindowSpec& w) {
  ControlSpec bar;
  bar.name = "图片框标题栏";
  bar.kind = Kind::PictureBox;
  bar.width = 920;
  bar.height = 24;
  bar.picture = IDP_TITLE_BAR;
  w.controls.push_back(bar);

  ControlSpec icon = titleBarRows({}, "图片框标题栏图标", Kind::PictureBox, 7, 4, 16, 16);
  icon.picture = IDI_PROGRAM;
  w.controls.push_back(icon);

  ControlSpec name = titleBarRows({}, "透明标签1", Kind::TransparentLabel, 29, 1, 91, 24);
  name.caption = "Velmora器";
  name.fore = rgb(255, 255, 255);
  w.controls.push_back(name);

  ControlSpec bossKey = titleBarRows({}, "标签1", Kind::Label, 233, 4, 129, 16);
  bossKey.caption = "一键隐藏(老板键) F3键";
  bossKey.fore = rgb(255, 255, 255);
  bossKey.back = rgb(0, 100, 0);
  bossKey.align = Align::Centre;
  bossKey.feedback = toggleMainWindow;
  w.controls.push_back(bossKey);

  ControlSpec minimise = pictureButton("图形按钮最小化", 365, 29, IDB_MINIMISE, IDB_MINIMISE_HOVER);
  minimise.clicked = minimizeMainWindow;
  w.controls.push_back(minimise);
  ControlSpec maximise = pictureButton("图形按钮最大化", 394, 26, IDB_MAXIMISE, IDB_MAXIMISE_HOVER);
  maximise.enabled = false;
  w.controls.push_back(maximise);
  ControlSpec close = pictureButton("图形按钮关闭", 420, 42, IDB_CLOSE, IDB_CLOSE_HOVER);
  close.clicked = exitNavigator;
  w.controls.push_back(close);
}

void addFooter(WindowSpec& w) {
  ControlSpec version;
  version.name = "标签2";
  version.kind = Kind::Label;
  version.left = 7, version.top = 373, version.width = 81, version.height = 18;
  version.caption = "当前版本:1.17";
  version.fore = rgb(0, 0, 0);
  version.back = kWindowBack;
  w.controls.push_back(version);

  ControlSpec check;
  check.name = "超级链接框1";
  check.kind = Kind::HyperlinkBox;
  check.left = 93, check.top = 373, check.width = 47, check.height = 18;
  check.caption = "检查更新";
  check.fore = rgb(0, 136, 255);
  check.hoverColour = rgb(10, 36, 106);
  check.visitedColour = rgb(128, 0, 0);
  check.back = kWindowBack;
  check.handCursor = true;
  check.mousePressed = checkForUpdate;
  w.controls.push_back(check);

  ControlSpec banner;
  banner.name = "透明标签5";
  banner.kind = Kind::TransparentLabel;
  banner.left = 147, banner.top = 374, banner.width = 245, banner.height = 16;
  banner.fore = rgb(0, 0, 0);
  w.controls.push_back(banner);

  ControlSpec contactBox;
  contactBox.name = "外形框3";
  contactBox.kind = Kind::ShapeBox;
  contactBox.left = 403, contactBox.top = 365, contactBox.width = 55, contactBox.height = 24;
  contactBox.back = kWindowBack;
  contactBox.lineColour = kWindowBack;
  w.controls.push_back(contactBox);

  ControlSpec contact;
  contact.name = "透明标签3";
  contact.kind = Kind::TransparentLabel;
  contact.parent = "外形框3";
  contact.left = 3, contact.top = 9, contact.width = 50, contact.height = 14;
  contact.caption = "联系我们";
  contact.fore = rgb(0, 128, 0);
  contact.handCursor = true;
  contact.mouseReleased = showContactMessage;
  w.controls.push_back(contact);

  ControlSpec poll;
  poll.name = "时钟1";
  poll.kind = Kind::Timer;
  poll.elapsed = pollAnnouncement;
  w.controls.push_back(poll);
}

WindowSpec buildMainWindow() {
  WindowSpec w;
  w.title = "Velmora工具";
  w.width = 465;
  w.height = 400;
  w.centred = true;
  w.frame = Frame::None;
  w.back = kWindowBack;
  w.taskbar = true;
  w.esc = EscKey::Close;
  w.icon = IDI_PROGRAM;
  w.dragBySurface = true;
  w.created = onMainWindowCreated;
  w.destroyed = endWithMainWindow;

  addTitleBar(w);
  ControlSpec login;
  login.name = "按钮1";
  login.kind = Kind::PushButton;
  login.left = 391, login.top = 40, login.width = 64, login.height = 20;
  login.caption = "网站登录";
  login.align = Align::Centre;
  login.clicked = openLoginPage;
  w.controls.push_back(login);
  addCatalogue(w);
  addFooter(w);
  return w;
}

}  // namespace

const WindowSpec& mainWindowSpec() {
  static const WindowSpec spec = buildMainWindow();
  return spec;
}

Window mainWindow() { return windowOf(mainWindowSpec()); }

void onMainWindowCreated() {
  Window window = mainWindow();
  useXpLook(3);
  std::string banner = platform::HttpReader().read(serviceAddress("/gx/banben.html"));
  window.control("透明标签5").setCaption(platform::bytesToText(banner));
  claimHotKey(window, 0, kBossKey, window.control("标签1"));
  window.control("时钟1").setPeriod(10000);
}

void toggleMainWindow() {
  Window window = mainWindow();
  if (window.visible()) window.hide();
  else window.show();
}

void minimizeMainWindow() { mainWindow().minimise(); }

void exitNavigator() { platform::endProgram(0); }

void openLoginPage() { platform::shellOpen(serviceAddress("/user_login2.asp")); }

void showContactMessage() { messageBox(std::string("欢迎优秀美图网站加入!联系qq") + VELMORA_CONTACT); }

// The announcement popup cannot be closed by the user, so a main window
// closed with Esc would leave a process with nothing but the popup: the
// program ends with its main window instead.
void endWithMainWindow() { platform::endProgram(0); }
