// 检查更新 on the headless runtime against the real service host: the
// version rule, the two answers, and the exact command line the updater gets.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "navigator/announcement.h"
#include "navigator/announcement_popup.h"
#include "navigator/manifest.h"
#include "navigator/navigator.h"
#include "navigator/service_host.h"
#include "navigator/update_check.h"
#include "platform/services.h"
#include "tests/update_road/road_fixture.h"
#include "updater/updater.h"

namespace gui = platform::gui;
namespace headless = platform::gui::headless;
using road::manifest;
using road::serve;

namespace {

const std::string kLatestText = "已经是最新版本。";

std::string newReleaseText(const std::string& version, const std::string& shownNotes) {
  return "发现有新的版本(" + version + ")可以更新，本次更新了如下内容：\r\n" + shownNotes;
}

std::map<std::string, std::string> release118(const std::string& notes) {
  return {{"版本号", "1.18"},
          {"下载地址", "http://127.0.0.1:18930/rel/velmora-1.18.zip"},
          {"文件标题", "Velmora器1.18"},
          {"文件名", "velmora-1.18.zip"},
          {"升级说明", notes}};
}

class UpdateCheckTest : public road::RoadTest {
protected:
  void SetUp() override {
    RoadTest::SetUp();
    recordFile_ = folder_.file("launch.txt");
    std::filesystem::remove(recordFile_);
    ::setenv("VELMORA_RECORD_LAUNCH", recordFile_.c_str(), 1);
  }
  // One press of the link, as the main window delivers it.
  void press() {
    headless::runProgram([] { checkForUpdate(); });
  }
  std::string launchLine() { return road::waitForFile(recordFile_); }
  std::string expectedLine(const std::string& notes) {
    return "\"" + platform::runDirectory() +
           "\\main_update\\update.exe\" kqzmhost_launcher http://127.0.0.1:18930/rel/velmora-1.18.zip "
           "Velmora器1.18 run Velmora器.exe velmora-1.18.zip " + notes;
  }

  testing_support::TempFolder folder_;
  std::string recordFile_;
};

struct VersionCase {
  const char* versionText;  // nullptr: the host is unreachable
  bool newer;
};

TEST_F(UpdateCheckTest, VersionRuleAndTheTwoAnswers) {
  const VersionCase cases[] = {
      {"1.17", false},       {"1.18", true},   {"1.17000005", false}, {"1.1700002", true},
      {"1.2beta", true},     {"新版本", false}, {"", false},           {nullptr, false},
  };
  for (const VersionCase& c : cases) {
    std::string label = c.versionText ? c.versionText : "(unreachable)";
    SCOPED_TRACE(label);
    road::RoadTest::TearDown();
    SetUp();
    if (c.versionText) {
      auto attributes = release118("修复");
      attributes["版本号"] = c.versionText;
      serve("gx/update.xml", manifest(attributes));
    } else {
      serviceHost = "127.0.0.1:1";
    }
    press();
    auto boxes = headless::messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "信息：");
    if (c.newer) {
      EXPECT_EQ(boxes[0].text, newReleaseText(c.versionText, "修复"));
      EXPECT_EQ(boxes[0].icon, gui::BoxIcon::Information);
      EXPECT_TRUE(headless::programEnded());
      EXPECT_EQ(headless::exitCode(), 0);
      EXPECT_EQ(manifestTree, nullptr) << "the exit routine ran";
      EXPECT_EQ(launchLine(), expectedLine("修复"));
    } else {
      EXPECT_EQ(boxes[0].text, kLatestText);
      EXPECT_EQ(boxes[0].icon, gui::BoxIcon::None);
      EXPECT_FALSE(headless::programEnded());
    }
  }
}

TEST_F(UpdateCheckTest, TwoPressesOnAnUnreachableHostGiveTwoBoxesOneAfterTheOther) {
  serviceHost = "127.0.0.1:1";
  int open = 0, mostOpen = 0;
  headless::onMessageBox([&](const headless::MessageBoxRecord&) {
    mostOpen = std::max(mostOpen, ++open);
    --open;
  });
  press();
  press();
  auto boxes = headless::messageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, kLatestText);
  EXPECT_EQ(boxes[1].text, kLatestText);
  EXPECT_EQ(mostOpen, 1);
  EXPECT_FALSE(headless::programEnded());
}

TEST_F(UpdateCheckTest, NotesShowMarkersAsLineBreaksAndCarryThemUnchanged) {
  serve("gx/update.xml", manifest(release118("修复下载#HHF新增公告 更快")));
  press();
  auto boxes = headless::messageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, newReleaseText("1.18", "修复下载\r\n新增公告 更快"));
  std::string line = launchLine();
  EXPECT_EQ(line, expectedLine("修复下载#HHF新增公告 更快"));
  // What the updater reads of it.
  std::vector<std::string> expected{"kqzmhost_launcher", "http://127.0.0.1:18930/rel/velmora-1.18.zip",
                                    "Velmora器1.18", "run", "Velmora器.exe", "velmora-1.18.zip",
                                    "修复下载#HHF新增公告", "更快"};
  EXPECT_EQ(splitCommandLine(line), expected);
  EXPECT_TRUE(launchArgumentsAccepted(splitCommandLine(line)));
}

TEST_F(UpdateCheckTest, EmptyNotesEndTheLineWithTheFileNameAndOneBlank) {
  serve("gx/update.xml", manifest(release118("")));
  press();
  ASSERT_EQ(headless::messageBoxes().size(), 1u);
  EXPECT_EQ(headless::messageBoxes()[0].text, newReleaseText("1.18", ""));
  std::string line = launchLine();
  EXPECT_EQ(line, expectedLine(""));
  const std::string end = " velmora-1.18.zip ";
  ASSERT_GE(line.size(), end.size());
  EXPECT_EQ(line.substr(line.size() - end.size()), end);
  EXPECT_EQ(splitCommandLine(line).size(), 6u);
  EXPECT_TRUE(launchArgumentsAccepted(splitCommandLine(line)));
}

TEST_F(UpdateCheckTest, ANavigatorFolderWithABlankStillPassesTheTokenCheck) {
  ReleaseHandOff release{"http://127.0.0.1:18930/rel/v.zip", "Velmora器1.18", "v.zip", "说明"};
  const std::string folder = "C:\\Program Files\\Velmora";
  std::string line = buildUpdaterCommandLine(folder, release);
  EXPECT_EQ(line, "\"C:\\Program Files\\Velmora\\main_update\\update.exe\" kqzmhost_launcher "
                  "http://127.0.0.1:18930/rel/v.zip Velmora器1.18 run Velmora器.exe v.zip 说明");
  auto arguments = splitCommandLine(line);
  ASSERT_FALSE(arguments.empty());
  EXPECT_EQ(arguments[0], "kqzmhost_launcher");
  EXPECT_TRUE(launchArgumentsAccepted(arguments));

  // And a real start from such a folder reaches the program with those bytes.
  std::string navigatorFolder = folder_.path() + "/Program Files/Velmora";
  std::filesystem::create_directories(navigatorFolder + "/main_update");
  std::filesystem::copy_file(RECORD_LAUNCH_EXE, navigatorFolder + "/main_update/update.exe");
  ASSERT_TRUE(platform::startProgram(buildUpdaterCommandLine(navigatorFolder, release)));
  EXPECT_EQ(launchLine(), buildUpdaterCommandLine(navigatorFolder, release));
}

// The message box lets events run; a poll inside it loads the announcement
// manifest into the same manifestTree. The hand-off must not take its values.
TEST_F(UpdateCheckTest, APollDuringTheBoxLeavesTheHandOffValuesAlone) {
  serve("gx/update.xml", manifest(release118("更新")));
  serve("gx/gg.xml", manifest({{"版本号", "2"},
                               {"下载地址", "http://127.0.0.1:18930/other.zip"},
                               {"文件标题", "公告标题"},
                               {"文件名", "other.zip"},
                               {"升级说明", "公告说明"}}));
  gui::WindowSpec mainWindow;
  mainWindow.title = "Velmora工具";
  gui::ControlSpec poll;
  poll.name = "时钟1";
  poll.kind = gui::Kind::Timer;
  poll.period = 10000;
  poll.elapsed = pollAnnouncement;
  mainWindow.controls.push_back(poll);
  gui::loadWindow(mainWindow);

  std::string announcementTitleSeen;
  headless::onMessageBox([&](const headless::MessageBoxRecord&) {
    headless::advance(10000);  // the poll's period passes while the box is open
    announcementTitleSeen = readManifestValue("最新版本/版本信息", "文件标题");
  });
  press();
  EXPECT_EQ(announcementTitleSeen, "公告标题") << "the poll ran inside the box";
  EXPECT_TRUE(gui::windowOf(announcementPopupSpec())) << "and opened the popup";
  EXPECT_NE(road::serviceHostForTests().log().find("GET /gx/gg.xml"), std::string::npos);
  EXPECT_EQ(launchLine(), expectedLine("更新"));
  EXPECT_EQ(headless::exitCode(), 0);
}

}  // namespace
