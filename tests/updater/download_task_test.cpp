// The task row, the task settings, the download folder and the close query.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/gui/headless_test.h"
#include "tests/support/service_host.h"
#include "tests/updater/updater_fixture.h"
#include "updater/updater.h"

namespace fs = std::filesystem;
namespace gui = platform::gui;
namespace headless = platform::gui::headless;
using testing_support::readFile;
using updater_testing::putFile;

namespace {

class DownloadTask : public updater_testing::UpdaterTest {};

struct Place {
  int left, top, width, height;
  bool visible;
  bool operator==(const Place&) const = default;
};
Place placeOf(const gui::Control& c) { return {c.left(), c.top(), c.width(), c.height(), c.visible()}; }
std::ostream& operator<<(std::ostream& out, const Place& p) {
  return out << p.left << "," << p.top << " " << p.width << "x" << p.height << (p.visible ? " shown" : " hidden");
}

TEST_F(DownloadTask, RowCopiesTheTemplatesOntoTheNameLine) {
  ASSERT_TRUE(loadUpdater(updater_testing::launchLine(runDir(), "nohost")));
  ASSERT_EQ(taskRows.size(), 1u);
  const TaskRow& row = taskRows[0];
  gui::Window window = updaterWindow();

  EXPECT_EQ(placeOf(row.nameLabel), (Place{2, 21, 124, 19, true}));
  EXPECT_EQ(placeOf(row.sizeLabel), (Place{124, 21, 59, 19, true}));
  EXPECT_EQ(placeOf(row.progressBar), (Place{184, 21, 124, 19, false})) << "one pixel up, onto the name line";
  EXPECT_EQ(placeOf(row.stateLabel), (Place{184, 21, 124, 19, true}));
  EXPECT_EQ(placeOf(row.speedLabel), (Place{309, 21, 64, 19, true}));
  EXPECT_EQ(placeOf(row.separatorLine), (Place{1, 42, 513, 1, true})) << "2 pixels below the name label";
  EXPECT_FALSE(row.unusedSlot1 || row.unusedSlot2 || row.unusedSlot3);

  // Copies of the right kinds in the templates' container; the templates untouched.
  EXPECT_EQ(row.progressBar.kind(), gui::Kind::MultiBar);
  EXPECT_EQ(row.separatorLine.kind(), gui::Kind::ShapeBox);
  EXPECT_EQ(row.nameLabel.settings().parent, "图片框2");
  EXPECT_EQ(row.nameLabel.name(), "标签6#1");
  EXPECT_EQ(row.stateLabel.name(), "标签9#6") << "copied last";
  for (const char* name : {"标签6", "标签7", "标签9", "多功能条1", "标签8", "外形框1"})
    EXPECT_FALSE(window.control(name).visible()) << name;
  EXPECT_EQ(placeOf(window.control("多功能条1")), (Place{184, 22, 124, 19, false}));
}

TEST_F(DownloadTask, RefusedStartKeepsTheWindowWithTheSetUpLine) {
  fs::create_directories(runDir() + "/main_update");
  putFile(runDir() + "/main_update/temp1.zip", "left over");
  putFile(runDir() + "/main_update/keep.txt", "kept");

  ASSERT_TRUE(loadUpdater(updater_testing::launchLine(runDir(), "ftp://127.0.0.1/release.zip")));
  headless::advance(60000);
  EXPECT_FALSE(headless::programEnded());
  EXPECT_TRUE(updaterWindow().exists());
  EXPECT_EQ(log(), "执行下载任务1");
  EXPECT_FALSE(fs::exists(runDir() + "/main_update/temp1.zip")) << "an old archive is deleted";
  EXPECT_EQ(readFile(runDir() + "/main_update/keep.txt"), "kept") << "an existing folder is used";
  ASSERT_EQ(downloaders.size(), 1u);
  EXPECT_EQ(downloaders[0]->taskId(), -1);
  EXPECT_FALSE(taskRows[0].progressBar.visible());
}

TEST_F(DownloadTask, SettingsOfTheTask) {
  ASSERT_FALSE(fs::exists(runDir() + "/main_update"));
  ASSERT_TRUE(loadUpdater(updater_testing::launchLine(runDir(), "nohost")));
  EXPECT_TRUE(fs::is_directory(runDir() + "/main_update")) << "a missing folder is created";
  ASSERT_EQ(taskSettings.size(), 1u);
  const TaskSettings& s = taskSettings[0];
  EXPECT_EQ(s.kind, 4096);
  EXPECT_EQ(s.address, "nohost");
  EXPECT_EQ(s.localFile, runDir() + "\\main_update\\temp1.zip");
  EXPECT_EQ(s.ftpUser, "anonymous");
  EXPECT_EQ(s.threadCount, 5);
  EXPECT_EQ(s.speedLimit, 0);
  EXPECT_EQ(s.connectTimeoutMs, 5000);
  EXPECT_EQ(s.sendTimeoutMs, 5001);
  EXPECT_EQ(s.receiveTimeoutMs, 10000);
  EXPECT_EQ(s.stopWaitMs, 1000);
  EXPECT_EQ(s.receiveBlockSize, 20480);
  EXPECT_EQ(s.sendBlockSize, 1024);
  EXPECT_NE(s.messageRoutine, nullptr);
  EXPECT_NE(s.eventRoutine, nullptr);
  EXPECT_EQ(s.title, "Velmora器");
  EXPECT_EQ(s.ftpTransferType, 1);
  EXPECT_EQ(s.binaryExtensions, ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm");
  EXPECT_EQ(s.proxyAddress, "");
  EXPECT_EQ(s.referer, "");
  EXPECT_EQ(s.eventRoutine(5, 0, 0, 0, 4242), 1) << "the adapter hands on the handler's reply";
}

TEST_F(DownloadTask, ClosingWhileTheDownloadRunsStopsItAndEnds) {
  testing_support::TempFolder served;
  putFile(served.path() + "/release.zip", std::string(400000, 'x'));
  testing_support::TestServiceHost host(served.path(), {"--rate", "20000"});
  ASSERT_TRUE(loadUpdater(updater_testing::launchLine(runDir(), host.url("/release.zip"))));
  ASSERT_TRUE(headless::runUntil([&] { return taskRows[0].progressBar.visible(); }, 10000));
  std::shared_ptr<platform::Downloader> downloader = downloaders[0];
  ASSERT_NE(downloader->taskId(), -1);

  headless::pressEsc(updaterWindow());
  EXPECT_FALSE(updaterWindow().exists()) << "Esc asks to close and stopOnClose allows it";
  EXPECT_EQ(downloader->taskId(), -1) << "the transfer was stopped";
  EXPECT_FALSE(fs::exists(runDir() + "/main_update/temp1.zip"));
  EXPECT_TRUE(stopOnClose()) << "after the end, stopKeepingState finds nothing and the close is allowed";
}

}  // namespace

namespace {

TEST_F(DownloadTask, CloseDuringTheInstallWaitsForIt) {
  ASSERT_TRUE(loadUpdater(updater_testing::launchLine(runDir(), "nohost")));
  installRunning = true;  // as installAndRestart sets it while it copies
  headless::userClose(updaterWindow());
  EXPECT_TRUE(updaterWindow().exists()) << "a half-done copy is never cut short";
  installRunning = false;
  headless::userClose(updaterWindow());
  EXPECT_FALSE(updaterWindow().exists());
}

}  // namespace
