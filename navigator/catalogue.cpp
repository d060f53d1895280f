// The site catalogue: layout rows built from catalogueEntries.
#include "navigator/catalogue.h"

#include <string>

#include "navigator/main_window.h"
#include "navigator/service_host.h"

using namespace platform::gui;

namespace {

constexpr Colour kPageBack = rgb(236, 236, 236);
constexpr const char* kTabControl = "高级选择夹1";

ControlSpec onPage(int page, const std::string& name, Kind kind, int left, int top, int width, int height) {
  ControlSpec row;
  row.name = name;
  row.kind = kind;
  row.parent = kTabControl;
  row.page = page - 1;
  row.left = left;
  row.top = top;
  row.width = width;
  row.height = height;
  return row;
}

ControlSpec siteLink(const CatalogueEntry& entry, int number) {
  ControlSpec row = onPage(entry.page, "超级链接框" + std::to_string(number), Kind::HyperlinkBox, entry.left,
                           entry.top, entry.width, entry.height);
  row.caption = entry.caption;
  row.target = entry.address;
  row.fore = rgb(0, 0, 255);
  row.visitedColour = rgb(128, 0, 0);
  row.hoverColour = rgb(10, 36, 106);
  row.back = rgb(255, 255, 255);
  row.align = Align::Centre;
  row.handCursor = true;
  return row;
}

}  // namespace

void addCatalogue(WindowSpec& window) {
  ControlSpec tabs;
  tabs.name = kTabControl;
  tabs.kind = Kind::TabControl;
  tabs.left = 8, tabs.top = 40, tabs.width = 448, tabs.height = 320;
  tabs.pages = {"今日推荐", "明星美女I", "明星美女II", "模特平台", "美腿丝袜", "人体艺术"};
  window.controls.push_back(tabs);

  // Wider and taller than the tab control, which cuts off its scroll bar
  // and the right and bottom of its frame.
  ControlSpec browser = onPage(1, "超文本浏览框1", Kind::WebBrowser, -1, 24, 472, 312);
  browser.address = serviceAddress("/pinindex.asp");
  browser.newWindow = openNewWindowInBox;
  window.controls.push_back(browser);

  ControlSpec under = onPage(1, "外形框1", Kind::ShapeBox, 4, 24, 435, 288);
  under.back = kPageBack;
  under.lineColour = kPageBack;
  under.lineWidth = 0;
  window.controls.push_back(under);

  int number = 2;  // 超级链接框1 is the update link of the main window
  for (const CatalogueEntry& entry : catalogueEntries) window.controls.push_back(siteLink(entry, number++));
}

// A page that asks for a new window shows it in the box itself: while the
// pointer rests on a link, the status text holds that link's address.
bool openNewWindowInBox() {
  Control box = mainWindow().control("超文本浏览框1");
  box.navigate(box.statusText());
  return false;
}
