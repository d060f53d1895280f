// Transfer events: the task row and the event log follow the download, and
// the end of the download is handed to the GUI thread for the install.
#include <cmath>
#include <cstdio>

#include "updater/updater.h"

namespace {

struct FoundTask {
  int32_t number = 0;  // 0: no download object runs the task
  std::shared_ptr<platform::Downloader> downloader;
  TaskRow row;
  std::string title;
};

// The first download object whose task has this handle, with copies of what
// the message needs, so no list is touched after the lock is let go.
FoundTask findTask(int32_t taskHandle) {
  FoundTask found;
  std::lock_guard lock(taskListsLock);
  for (size_t i = 0; i < downloaders.size(); ++i) {
    if (downloaders[i]->taskId() != taskHandle) continue;
    found.number = static_cast<int32_t>(i + 1);
    found.downloader = downloaders[i];
    if (i < taskRows.size()) found.row = taskRows[i];
    if (i < taskSettings.size()) found.title = taskSettings[i].title;
    break;
  }
  return found;
}

// Each message's row and log updates go to the GUI thread in one trip: at
// one data message per received block the trips, not the updates, would set
// the pace of the whole download. What the facility is asked is asked here,
// on its own thread, before the trip.

void showTransferStarted(FoundTask& task, const std::string& logLine) {
  std::string state;
  task.downloader->snapshot(state);
  std::string size = sizeText(platform::Downloader::snapshotInfo(state, 1, 0));
  platform::gui::runOnGuiThread([&] {
    appendToLog(logLine);
    task.row.nameLabel.setCaption(task.title);
    task.row.sizeLabel.setCaption(size);
    task.row.progressBar.hide();
    task.row.stateLabel.show();
    task.row.stateLabel.setCaption("下载开始");
  });
}

void showTransferEnded(FoundTask& task, const std::string& logLine) {
  platform::gui::runOnGuiThread([&] {
    task.row.progressBar.hide();
    task.row.stateLabel.show();
    task.row.stateLabel.setCaption("下载结束");
    task.row.speedLabel.setCaption("");
    appendToLog(logLine);
  });
}

void showDataReceived(FoundTask& task, const std::string& logLine) {
  std::string speed = speedText(task.downloader->takeReceivedCount());
  std::string state;
  task.downloader->snapshot(state);
  int64_t received = platform::Downloader::snapshotInfo(state, 2, 0);
  int64_t total = platform::Downloader::snapshotInfo(state, 1, 0);
  int percent = progressPercent(received, total);
  platform::gui::runOnGuiThread([&] {
    task.row.stateLabel.hide();
    task.row.progressBar.show();
    // Nearly every block gives the same speed text; setting it again would
    // only draw the label once more, a cost that shows over thousands of blocks.
    if (task.row.speedLabel.caption() != speed) task.row.speedLabel.setCaption(speed);
    task.row.progressBar.setPosition(percent);
    appendToLog(logLine);
  });
}

int32_t handleMessage(int32_t message, int32_t taskHandle) {
  namespace m = platform::TransferMessage;
  std::string logLine = transferLogLine(message);
  if (message == m::transferStarted) {
    FoundTask task = findTask(taskHandle);
    if (task.number == 0) {
      appendToLog(logLine);
      return 1;
    }
    showTransferStarted(task, logLine);
  } else if (message == m::transferEnded) {
    FoundTask task = findTask(taskHandle);
    if (task.number == 0) return 1;
    showTransferEnded(task, logLine);
    // The install runs on the GUI thread and ends the program from there,
    // so in the product this call never comes back.
    windowControl("标签10").raiseFeedback(task.number, 0);
  } else if (message == m::dataReceived) {
    FoundTask task = findTask(taskHandle);
    if (task.number == 0) return 1;
    showDataReceived(task, logLine);
  } else {
    appendToLog(logLine);
  }
  return 1;
}

}  // namespace

double roundToHundredths(double value) {
  if (value == 0) return 0;
  double scaled = std::fabs(value) * 100 + 1e-12;
  double whole = std::floor(scaled);
  if (scaled - whole >= 0.5) whole += 1;
  return std::copysign(whole / 100, value);
}

std::string sizeText(int64_t bytes) {
  // 0 means the size is not known yet, -1 that no state could be read.
  if (bytes <= 0) return "";
  char text[64];
  std::snprintf(text, sizeof text, "%.13g", roundToHundredths(static_cast<double>(bytes) / 1000));
  return std::string(text) + "K";
}

std::string speedText(int64_t bytes) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", roundToHundredths(static_cast<double>(bytes) / 1000));
  return std::string(text) + "KB/s";
}

int progressPercent(int64_t received, int64_t total) {
  if (total <= 0 || received <= 0) return 0;
  double percent = std::trunc(100.0 * static_cast<double>(received) / static_cast<double>(total));
  if (percent > 100) return 100;
  return static_cast<int>(percent);
}

std::string transferLogLine(int32_t message) {
  namespace m = platform::TransferMessage;
  switch (message) {
    case m::transferStarted: return " #传送常量.下载上传开始\r\n";
    case m::transferEnded: return " #传送常量.下载上传结束\r\n";
    case m::dataRange: return " #传送常量.下载数据范围\r\n";
    case m::threadContinues: return " #传送常量.下载线程继续下载\r\n";
    case m::threadEndedNormally: return " #传送常量.线程正常结束\r\n";
    case m::threadEndedAbnormally: return " #传送常量.线程异常结束\r\n";
    case m::dataReceived: return " #传送常量.收到数据\r\n";
    case m::sameNameFileExists: return " #传送常量.存在同名文件\r\n";
    default: return "未知消息 " + std::to_string(message) + "\r\n";
  }
}

int32_t handleTransferEvent(int32_t message, int32_t /*a2*/, int32_t /*a3*/, int32_t /*a4*/,
                            int32_t taskHandle) {
  // Called on the facility's threads: nothing may escape into them.
  try {
    return handleMessage(message, taskHandle);
  } catch (...) {
    // On the GUI thread (a test calling in directly) the runtime's own
    // boundary takes it, the end of the program included.
    if (platform::gui::onGuiThread()) throw;
    return 1;
  }
}
