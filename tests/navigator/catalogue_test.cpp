// The site catalogue: its data, its layout rows and the start page's box.
#include <cstdlib>
#include <filesystem>
#include <map>
#include <numeric>
#include <set>

#include "navigator/catalogue.h"
#include "tests/navigator/navigator_fixture.h"
#include "platform/text.h"

namespace gui = platform::gui;
namespace headless = platform::gui::headless;

namespace {

// GBK characters of a text (two bytes for a Chinese one, one for ASCII).
int characters(const std::string& gbk) {
  int n = 0;
  for (size_t i = 0; i < gbk.size(); ++i, ++n)
    if (platform::isGbkLeadByte(static_cast<unsigned char>(gbk[i]))) ++i;
  return n;
}

// The row a top belongs to: 31, 60, 90, ... 240, each give or take a pixel.
int rowOf(int top) {
  const int tops[] = {31, 60, 90, 120, 150, 180, 210, 240};
  for (int r = 0; r < 8; ++r)
    if (top >= tops[r] - 1 && top <= tops[r] + 1) return r + 1;
  return 0;
}

std::vector<gui::ControlSpec> linksOnPage(int pageIndex) {
  std::vector<gui::ControlSpec> links;
  for (const auto& row : mainWindowSpec().controls)
    if (row.kind == gui::Kind::HyperlinkBox && row.parent == "高级选择夹1" && row.page == pageIndex)
      links.push_back(row);
  return links;
}

}  // namespace

TEST(Catalogue, CountsPerPageAndPerRow) {
  const std::map<int, std::vector<int>> perRow = {
      {2, {6, 6, 6, 6, 6, 6, 6, 6}}, {3, {6, 6, 6, 6, 6, 2}}, {4, {6, 6, 6, 6, 4}},
      {5, {6, 6, 4}},                {6, {6, 6, 6, 1}},
  };
  ASSERT_EQ(catalogueEntries.size(), 143u);
  for (const auto& [page, expected] : perRow) {
    std::vector<int> counted(expected.size(), 0);
    for (const CatalogueEntry& e : catalogueEntries) {
      if (e.page != page) continue;
      int row = rowOf(e.top);
      ASSERT_GE(row, 1) << e.caption << " top " << e.top;
      ASSERT_LE(row, static_cast<int>(expected.size())) << e.caption;
      ++counted[row - 1];
    }
    EXPECT_EQ(counted, expected) << "page " << page;
    EXPECT_EQ(linksOnPage(page - 1).size(), static_cast<size_t>(std::accumulate(expected.begin(), expected.end(), 0)));
  }
}

TEST(Catalogue, RowTopsLeftsAndSizes) {
  const std::set<int> widths = {70, 40, 53, 54, 57, 60, 80, 82, 87, 89, 96};
  std::set<int> tops;
  for (const CatalogueEntry& e : catalogueEntries) {
    tops.insert(e.top);
    EXPECT_EQ(e.height, 20) << e.caption;
    EXPECT_TRUE(widths.count(e.width)) << e.caption << " width " << e.width;
    EXPECT_GE(e.left, 1);
    EXPECT_LE(e.left, 384);
    EXPECT_LE(e.left + e.width, 448) << e.caption << " leaves the tab control";
  }
  for (int t : {31, 60, 90, 120, 150, 180, 210, 240}) EXPECT_TRUE(tops.count(t)) << t;
  for (int t : tops) EXPECT_NE(rowOf(t), 0) << t;
  // No two boxes of a page overlap.
  for (size_t i = 0; i < catalogueEntries.size(); ++i)
    for (size_t j = i + 1; j < catalogueEntries.size(); ++j) {
      const auto &a = catalogueEntries[i], &b = catalogueEntries[j];
      if (a.page != b.page || rowOf(a.top) != rowOf(b.top)) continue;
      EXPECT_TRUE(a.left + a.width <= b.left || b.left + b.width <= a.left) << a.caption << " / " << b.caption;
    }
}

TEST(Catalogue, CaptionsAndAddresses) {
  std::map<std::string, std::set<std::string>> addressesOf;
  std::map<std::string, std::set<int>> pagesOf;
  std::map<std::string, int> captionOfAddress;
  for (const CatalogueEntry& e : catalogueEntries) {
    int n = characters(e.caption);
    EXPECT_GE(n, 3) << e.caption;
    EXPECT_LE(n, 8) << e.caption;
    std::string address = e.address;
    EXPECT_EQ(address.rfind("http://", 0), 0u) << address;
    EXPECT_EQ(address.find(' '), std::string::npos) << address;
    std::string host = address.substr(7, address.find('/', 7) - 7);
    EXPECT_TRUE(host.size() > 8 && host.compare(host.size() - 8, 8, ".example") == 0) << address;
    addressesOf[e.caption].insert(address);
    pagesOf[e.caption].insert(e.page);
    ++captionOfAddress[address];
  }
  // One site stands on two pages under one address; the rest are distinct.
  EXPECT_EQ(addressesOf.size(), 142u);
  EXPECT_EQ(captionOfAddress.size(), 142u);
  ASSERT_EQ(pagesOf["很美写真网"].size(), 2u);
  EXPECT_EQ(addressesOf["很美写真网"].size(), 1u);
  for (const char* example : {"模特之家", "中国模特在线", "明星网", "车模网"})
    EXPECT_EQ(addressesOf.count(example), 1u) << example;
}

TEST(Catalogue, EveryBoxHasTheCatalogueLook) {
  int number = 2;
  for (const CatalogueEntry& e : catalogueEntries) {
    const gui::ControlSpec* row = nullptr;
    for (const auto& r : mainWindowSpec().controls)
      if (r.name == "超级链接框" + std::to_string(number)) row = &r;
    ASSERT_NE(row, nullptr) << number;
    EXPECT_EQ(row->caption, e.caption);
    EXPECT_EQ(row->target, e.address);
    EXPECT_EQ(row->page, e.page - 1);
    EXPECT_EQ(row->fore, gui::rgb(0, 0, 255));
    EXPECT_EQ(row->visitedColour, gui::rgb(128, 0, 0));
    EXPECT_EQ(row->hoverColour, gui::rgb(10, 36, 106));
    EXPECT_EQ(row->back, gui::rgb(255, 255, 255));
    EXPECT_EQ(row->align, gui::Align::Centre);
    EXPECT_TRUE(row->handCursor);
    EXPECT_EQ(row->border, gui::Border::None);
    ++number;
  }
}

TEST(Catalogue, TabControlPages) {
  const gui::ControlSpec* tabs = nullptr;
  for (const auto& r : mainWindowSpec().controls)
    if (r.name == "高级选择夹1") tabs = &r;
  ASSERT_NE(tabs, nullptr);
  EXPECT_EQ(tabs->kind, gui::Kind::TabControl);
  EXPECT_EQ((std::vector<int>{tabs->left, tabs->top, tabs->width, tabs->height}), (std::vector<int>{8, 40, 448, 320}));
  EXPECT_EQ(tabs->pages,
            (std::vector<std::string>{"今日推荐", "明星美女I", "明星美女II", "模特平台", "美腿丝袜", "人体艺术"}));
}

TEST_F(NavigatorTest, StartPageBoxTakesTheStartAddress) {
  gui::Window window = start();
  gui::Control box = window.control("超文本浏览框1");
  EXPECT_EQ(box.kind(), gui::Kind::WebBrowser);
  EXPECT_EQ(box.address(), "http://" + sharedHost().hostPort() + "/pinindex.asp");
  gui::ControlSpec s = box.settings();
  EXPECT_FALSE(s.offline);
  EXPECT_FALSE(s.silent);
  EXPECT_EQ((std::vector<int>{s.left, s.top, s.width, s.height}), (std::vector<int>{-1, 24, 472, 312}));
  EXPECT_EQ(s.page, 0);
}

TEST_F(NavigatorTest, NewWindowRequestOpensTheStatusTextInTheBoxAndAnswersNo) {
  gui::Window window = start();
  for (const std::string status : {"http://link.example/page.html", "about:blank", "完成", ""}) {
    headless::setStatusText(window, "超文本浏览框1", status);
    EXPECT_FALSE(headless::requestNewWindow(window, "超文本浏览框1")) << status;
    EXPECT_EQ(window.control("超文本浏览框1").address(), status);
  }
}

namespace {

// A shell "open" stand-in that records its address and answers with `status`.
std::string installOpener(const testing_support::TempFolder& scratch, int status) {
  std::string record = scratch.file("opened");
  std::string opener = scratch.file("opener.sh");
  testing_support::writeFile(opener, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + record + "'\nexit " +
                                         std::to_string(status) + "\n");
  std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
  setenv("VELMORA_SHELL_OPEN", opener.c_str(), 1);
  return record;
}

}  // namespace

TEST_F(NavigatorTest, CatalogueBoxTurnsVisitedOnlyAfterItsSiteOpened) {
  gui::Window window = start();
  const CatalogueEntry& first = catalogueEntries.front();
  window.control("高级选择夹1").setCurrentPage(first.page - 1);
  gui::Control box = window.control("超级链接框2");
  ASSERT_EQ(box.caption(), first.caption);

  testing_support::TempFolder failing;
  std::string tried = installOpener(failing, 1);
  ASSERT_TRUE(headless::press(window, "超级链接框2"));
  EXPECT_EQ(testing_support::readFile(tried), std::string(first.address) + "\n");
  EXPECT_EQ(box.foreColour(), gui::rgb(0, 0, 255)) << "no browser: not visited";

  testing_support::TempFolder working;
  std::string opened = installOpener(working, 0);
  ASSERT_TRUE(headless::press(window, "超级链接框2"));
  unsetenv("VELMORA_SHELL_OPEN");
  EXPECT_EQ(testing_support::readFile(opened), std::string(first.address) + "\n");
  EXPECT_EQ(box.foreColour(), gui::rgb(128, 0, 0));
  EXPECT_EQ(window.control("超级链接框3").foreColour(), gui::rgb(0, 0, 255)) << "only the pressed box";
}
