// The main window's start-up, boss key, buttons and contact text.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <filesystem>

#include "tests/navigator/navigator_fixture.h"

namespace gui = platform::gui;
namespace headless = platform::gui::headless;
using testing_support::TempFolder;

namespace {

bool waitForLog(testing_support::TestServiceHost& host, const std::string& line) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (host.log().find(line) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

int countOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

TEST_F(NavigatorTest, CreatedEventSetsLookThenBannerThenHotKeyThenTimer) {
  // The banner's body is held back, so that the state in the middle of the
  // created event can be looked at while the fetch is under way.
  std::atomic<int> schemeDuringFetch{-1};
  std::atomic<int> hotKeysDuringFetch{-1};
  testing_support::TestServiceHost slowHost(sharedRoot(), {"--stall-ms", "400", "--only", "/gx/banben.html"});
  std::thread watcher([&] {
    if (!waitForLog(slowHost, "GET /gx/banben.html")) return;
    schemeDuringFetch = headless::xpLookScheme();
    hotKeysDuringFetch = static_cast<int>(headless::hotKeys().size());
  });
  gui::Window window = startAgainst(slowHost.hostPort());
  watcher.join();

  EXPECT_EQ(schemeDuringFetch, 3) << "the silver look comes before the banner fetch";
  EXPECT_EQ(hotKeysDuringFetch, 0) << "the hot key is claimed after the banner fetch";
  EXPECT_EQ(window.control("透明标签5").caption(), "欢迎使用");
  ASSERT_EQ(headless::hotKeys().size(), 1u);
  EXPECT_EQ(headless::hotKeys()[0].modifiers, 0);
  EXPECT_EQ(headless::hotKeys()[0].virtualKey, 0x72);
  EXPECT_EQ(headless::hotKeys()[0].label, window.control("标签1"));
  EXPECT_EQ(headless::hotKeys()[0].window, window);
  EXPECT_EQ(window.control("时钟1").period(), 10000);
  EXPECT_TRUE(window.visible());
}

TEST_F(NavigatorTest, BannerRequestHasTheServiceHostForm) {
  start();
  std::string log = hostLog();
  EXPECT_NE(log.find("GET /gx/banben.html HTTP/1.0"), std::string::npos) << log;
  EXPECT_NE(log.find("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"), std::string::npos) << log;
}

TEST_F(NavigatorTest, BannerIsCutAtTheFirstZeroByte) {
  struct Case {
    std::string body, shown;
  } cases[] = {
      {std::string("今日更新\0隐藏的尾巴", 21), "今日更新"},
      {std::string("\0abc", 4), ""},
      {"", ""},
      {"<html>404</html>", "<html>404</html>"},
  };
  for (const Case& c : cases) {
    headless::reset();
    releaseManifestTree();
    writeServedFile("gx/banben.html", c.body);
    gui::Window window = start();
    EXPECT_EQ(window.control("透明标签5").caption(), c.shown) << "body of " << c.body.size() << " bytes";
  }
}

TEST_F(NavigatorTest, UnreachableHostLeavesTheBannerEmptyAndStillStarts) {
  gui::Window window = startAgainst("127.0.0.1:1");
  EXPECT_EQ(window.control("透明标签5").caption(), "");
  EXPECT_EQ(headless::hotKeys().size(), 1u);
  EXPECT_EQ(window.control("时钟1").period(), 10000);
}

TEST_F(NavigatorTest, AnnouncementPollFirstRunsTenSecondsAfterStart) {
  start();
  headless::advance(9999);
  EXPECT_EQ(countOf(hostLog(), "GET /gx/gg.xml"), 0);
  headless::advance(1);
  EXPECT_EQ(countOf(hostLog(), "GET /gx/gg.xml"), 1);
  headless::advance(20000);
  EXPECT_EQ(countOf(hostLog(), "GET /gx/gg.xml"), 3);
}

TEST_F(NavigatorTest, BossKeyHidesAndShowsTheWindow) {
  gui::Window window = start();
  ASSERT_TRUE(headless::pressHotKey(0, 0x72));
  EXPECT_FALSE(window.visible());
  ASSERT_TRUE(headless::pressHotKey(0, 0x72));
  EXPECT_TRUE(window.visible());
}

TEST_F(NavigatorTest, BossKeyHidesAMinimisedWindowAndTheTimerKeepsRunning) {
  gui::Window window = start();
  ASSERT_TRUE(headless::click(window, "图形按钮最小化"));
  ASSERT_TRUE(window.minimised());
  ASSERT_TRUE(headless::pressHotKey(0, 0x72));
  EXPECT_FALSE(window.visible()) << "a minimised window counts as visible, so F3 hides it";
  headless::advance(10000);
  EXPECT_EQ(countOf(hostLog(), "GET /gx/gg.xml"), 1) << "the poll goes on while hidden";
  ASSERT_TRUE(headless::pressHotKey(0, 0x72));
  EXPECT_TRUE(window.visible());
}

TEST_F(NavigatorTest, MinimiseWhileHiddenDoesNothing) {
  gui::Window window = start();
  headless::pressHotKey(0, 0x72);
  minimizeMainWindow();
  EXPECT_FALSE(window.minimised());
}

TEST_F(NavigatorTest, MaximiseButtonIsDisabledAndDoesNothing) {
  gui::Window window = start();
  EXPECT_FALSE(window.control("图形按钮最大化").enabled());
  EXPECT_FALSE(headless::click(window, "图形按钮最大化"));
  EXPECT_TRUE(window.visible());
  EXPECT_FALSE(window.minimised());
}

TEST_F(NavigatorTest, CloseButtonEndsWithCodeZeroAndFreesTheManifestTree) {
  gui::Window window = start();
  ASSERT_NE(manifestTree, nullptr);
  headless::click(window, "图形按钮关闭");
  EXPECT_TRUE(headless::programEnded());
  EXPECT_EQ(headless::exitCode(), 0);
  EXPECT_EQ(manifestTree, nullptr);
}

TEST_F(NavigatorTest, EscClosesTheWindowAndEndsTheProgram) {
  gui::Window window = start();
  headless::pressEsc(window);
  EXPECT_FALSE(window.exists());
  EXPECT_TRUE(headless::programEnded());
  EXPECT_EQ(headless::exitCode(), 0);
  EXPECT_EQ(manifestTree, nullptr);
}

TEST_F(NavigatorTest, EscEndsTheProgramEvenWhileAnotherWindowIsOpen) {
  gui::Window window = start();
  gui::WindowSpec other;  // stands in for the announcement popup
  other.title = "";
  other.frame = gui::Frame::None;
  gui::Window popup;
  headless::runProgram([&] { popup = gui::loadWindow(other); });
  ASSERT_TRUE(popup.exists());
  headless::pressEsc(window);
  EXPECT_TRUE(headless::programEnded());
  EXPECT_EQ(headless::exitCode(), 0);
}

TEST_F(NavigatorTest, StartNavigatorRunsUntilTheMainWindowIsGone) {
  serviceHost = sharedHost().hostPort();
  // Another thread closes the window once the loop has polled; its calls are
  // carried out on the GUI thread between the loop's events.
  std::thread closer([&] {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (hostLog().find("GET /gx/gg.xml") == std::string::npos && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    gui::windowOf(mainWindowSpec()).close();
  });
  headless::runProgram(startNavigator);
  closer.join();
  EXPECT_TRUE(headless::programEnded());
  EXPECT_EQ(headless::exitCode(), 0);
  EXPECT_EQ(manifestTree, nullptr) << "the exit routine ran";
  EXPECT_NE(hostLog().find("GET /gx/banben.html"), std::string::npos);
}

TEST_F(NavigatorTest, ContactLabelShowsTheContactNumber) {
  gui::Window window = start();
  ASSERT_TRUE(headless::release(window, "透明标签3"));
  auto boxes = headless::messageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, std::string("欢迎优秀美图网站加入!联系qq") + VELMORA_CONTACT);
  EXPECT_EQ(boxes[0].caption, "信息：");
  EXPECT_EQ(boxes[0].icon, gui::BoxIcon::None);
}

TEST_F(NavigatorTest, LoginButtonOpensTheLoginPage) {
  TempFolder scratch;
  std::string record = scratch.file("opened");
  std::string opener = scratch.file("opener.sh");
  testing_support::writeFile(opener, "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" + record + "'\n");
  std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
  setenv("VELMORA_SHELL_OPEN", opener.c_str(), 1);
  gui::Window window = start();
  headless::click(window, "按钮1");
  unsetenv("VELMORA_SHELL_OPEN");
  EXPECT_EQ(testing_support::readFile(record), "http://" + sharedHost().hostPort() + "/user_login2.asp\n");
}

TEST_F(NavigatorTest, WindowSettings) {
  gui::Window window = start();
  const gui::WindowSpec& spec = mainWindowSpec();
  EXPECT_EQ(window.title(), "Velmora工具");
  EXPECT_EQ(window.width(), 465);
  EXPECT_EQ(window.height(), 400);
  EXPECT_EQ(window.left(), (1024 - 465) / 2);
  EXPECT_EQ(window.top(), (768 - 400) / 2);
  EXPECT_EQ(spec.frame, gui::Frame::None);
  EXPECT_EQ(spec.esc, gui::EscKey::Close);
  EXPECT_TRUE(spec.dragBySurface);
  EXPECT_TRUE(spec.taskbar);
  EXPECT_EQ(spec.back, gui::rgb(236, 236, 236));
  EXPECT_EQ(window.control("标签2").caption(), "当前版本:1.17");
  EXPECT_EQ(window.control("超级链接框1").caption(), "检查更新");
  EXPECT_EQ(window.control("超级链接框1").settings().target, "");
}

TEST(NavigatorConfiguration, ServiceHostComesFromTheBuild) {
  EXPECT_EQ(builtServiceHost(), VELMORA_SERVICE_HOST);
  EXPECT_EQ(serviceAddress("/gx/gg.xml"), "http://" + serviceHost + "/gx/gg.xml");
  EXPECT_EQ(serviceAddress(""), "http://" + serviceHost);
}
