// The size, speed and progress figures, the log lines and the no-match rules.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/gui/headless_test.h"
#include "tests/updater/updater_fixture.h"
#include "updater/updater.h"

namespace headless = platform::gui::headless;

namespace {

TEST(TransferTexts, SizeText) {
  const std::vector<std::pair<int64_t, std::string>> cases = {
      {1005, "1.01K"},  // 1.005 x 100 falls short of 100.5 in double precision
      {1500, "1.5K"},   {20480, "20.48K"},       {1000, "1K"},   {1, "0K"},
      {4, "0K"},        {5, "0.01K"},            {104857600, "104857.6K"},
      {123456789012, "123456789.01K"},
      // 0 is what the facility reports while the size is unknown, -1 an
      // unreadable state: neither gives a figure.
      {0, ""},          {-1, ""},                {-20480, ""},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(sizeText(bytes), text) << bytes;
}

TEST(TransferTexts, SpeedText) {
  const std::vector<std::pair<int64_t, std::string>> cases = {
      {20480, "20.48KB/s"}, {10000, "10.00KB/s"}, {0, "0.00KB/s"},
      {1005, "1.01KB/s"},   {1500, "1.50KB/s"},   {123456789, "123456.79KB/s"},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(speedText(bytes), text) << bytes;
}

TEST(TransferTexts, RoundingToHundredths) {
  EXPECT_DOUBLE_EQ(roundToHundredths(1.005), 1.01);
  EXPECT_DOUBLE_EQ(roundToHundredths(-1.005), -1.01);
  EXPECT_DOUBLE_EQ(roundToHundredths(2.344), 2.34);
  EXPECT_EQ(roundToHundredths(0.0), 0.0);
}

TEST(TransferTexts, PercentIsTruncatedAndStaysWithinRange) {
  struct Case {
    int64_t received, total;
    int percent;
  };
  const std::vector<Case> cases = {
      {500, 1000, 50}, {999, 1000, 99},  // 99.9 % truncates to 99
      {1000, 1000, 100}, {0, 1000, 0}, {1, 3, 33},
      {5, 0, 0}, {-1, -1, 0}, {100, -1, 0}, {-1, 100, 0},  // no size: no division
      {2000, 1000, 100},  // never beyond the bar's end
      {int64_t(5) << 32, int64_t(10) << 32, 50},  // sizes beyond 32 bits
  };
  for (const Case& c : cases)
    EXPECT_EQ(progressPercent(c.received, c.total), c.percent) << c.received << "/" << c.total;
}

TEST(TransferTexts, LogLines) {
  const std::vector<std::pair<int32_t, std::string>> cases = {
      {3, " #传送常量.下载上传开始\r\n"},   {4, " #传送常量.下载上传结束\r\n"},
      {6, " #传送常量.下载数据范围\r\n"},   {7, " #传送常量.下载线程继续下载\r\n"},
      {8, " #传送常量.线程正常结束\r\n"},   {9, " #传送常量.线程异常结束\r\n"},
      {16, " #传送常量.收到数据\r\n"},      {18, " #传送常量.存在同名文件\r\n"},
      {5, "未知消息 5\r\n"},                {17, "未知消息 17\r\n"},
      {-3, "未知消息 -3\r\n"},              {0, "未知消息 0\r\n"},
  };
  for (const auto& [message, line] : cases) EXPECT_EQ(transferLogLine(message), line) << message;
}

class TransferEvents : public updater_testing::UpdaterTest {
protected:
  void SetUp() override {
    UpdaterTest::SetUp();
    // "nohost" is no usable address: the start is refused, the download
    // object stays idle (taskId -1) and the row stays as set up.
    ASSERT_TRUE(loadUpdater(updater_testing::launchLine(runDir(), "nohost")));
    ASSERT_EQ(downloaders.size(), 1u);
    ASSERT_EQ(downloaders[0]->taskId(), -1);
    row = taskRows.at(0);
  }

  // As the facility calls it: on a thread of its own, the GUI thread pumping.
  int32_t fromFacilityThread(int32_t message, int32_t taskHandle) {
    std::atomic<bool> done{false};
    int32_t reply = 0;
    std::thread facility([&] {
      reply = handleTransferEvent(message, 11, 22, 33, taskHandle);
      done = true;
    });
    // runUntil wakes for queued calls only, so look again in short steps.
    while (!done) headless::runUntil([&] { return done.load(); }, 20);
    facility.join();
    return reply;
  }

  TaskRow row;
};

TEST_F(TransferEvents, UnknownMessagesAndPlainLinesOnlyLog) {
  for (int32_t message : {5, 6, 7, 8, 9, 17, 18}) EXPECT_EQ(fromFacilityThread(message, 4242), 1);
  EXPECT_EQ(log(), "执行下载任务1未知消息 5\r\n #传送常量.下载数据范围\r\n #传送常量.下载线程继续下载\r\n"
                   " #传送常量.线程正常结束\r\n #传送常量.线程异常结束\r\n未知消息 17\r\n"
                   " #传送常量.存在同名文件\r\n");
}

TEST_F(TransferEvents, NoMatchingTaskStartedOnlyLogs) {
  EXPECT_EQ(fromFacilityThread(3, 4242), 1);
  EXPECT_EQ(log(), "执行下载任务1 #传送常量.下载上传开始\r\n");
  EXPECT_EQ(row.nameLabel.caption(), "");
  EXPECT_EQ(row.stateLabel.caption(), "");
}

TEST_F(TransferEvents, NoMatchingTaskEndedAndDataDoNothing) {
  EXPECT_EQ(fromFacilityThread(16, 4242), 1);
  EXPECT_EQ(fromFacilityThread(4, 4242), 1);
  EXPECT_EQ(log(), "执行下载任务1") << "not even the log line";
  EXPECT_FALSE(row.progressBar.visible());
  EXPECT_TRUE(row.stateLabel.visible());
  EXPECT_EQ(row.stateLabel.caption(), "");
  EXPECT_FALSE(headless::programEnded()) << "no hand-over, no install";
}

TEST_F(TransferEvents, EmptyStateShowsNoSizeAndAZeroBar) {
  // The idle object's taskId is -1, so a handle of -1 matches it while it
  // holds no state: snapshotInfo gives -1 for size and received bytes.
  EXPECT_EQ(fromFacilityThread(3, -1), 1);
  EXPECT_EQ(row.nameLabel.caption(), "Velmora器");
  EXPECT_EQ(row.sizeLabel.caption(), "");
  EXPECT_EQ(row.stateLabel.caption(), "下载开始");
  EXPECT_TRUE(row.stateLabel.visible());
  EXPECT_FALSE(row.progressBar.visible());

  EXPECT_EQ(fromFacilityThread(16, -1), 1);
  EXPECT_TRUE(row.progressBar.visible());
  EXPECT_FALSE(row.stateLabel.visible());
  EXPECT_EQ(row.progressBar.position(), 0);
  EXPECT_EQ(row.speedLabel.caption(), "0.00KB/s");
  EXPECT_EQ(log(), "执行下载任务1 #传送常量.下载上传开始\r\n #传送常量.收到数据\r\n");
}

}  // namespace
