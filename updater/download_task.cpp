// The download task: its row of controls, its settings and its download object.
#include <string>

#include "platform/services.h"
#include "updater/updater.h"

namespace gui = platform::gui;

namespace {

int32_t ignoreTransferMessage(int32_t, const char*, const char*, int32_t, int32_t) { return 0; }

// The facility's five arguments go to handleTransferEvent unchanged.
int32_t forwardTransferEvent(int32_t message, int32_t a2, int32_t a3, int32_t a4, int32_t taskHandle) {
  return handleTransferEvent(message, a2, a3, a4, taskHandle);
}

}  // namespace

std::string archivePath(int32_t taskNumber) {
  return runFolder + "\\main_update\\temp" + std::to_string(taskNumber) + ".zip";
}

void createTaskRow(int32_t /*taskNumber*/) {
  gui::Window window = updaterWindow();
  gui::Control nameTemplate = window.control("标签6");
  gui::Control sizeTemplate = window.control("标签7");
  gui::Control barTemplate = window.control("多功能条1");
  gui::Control speedTemplate = window.control("标签8");
  gui::Control lineTemplate = window.control("外形框1");
  gui::Control stateTemplate = window.control("标签9");

  TaskRow row;
  row.nameLabel = nameTemplate.copy();
  row.sizeLabel = sizeTemplate.copy();
  row.progressBar = barTemplate.copy();
  row.speedLabel = speedTemplate.copy();
  row.separatorLine = lineTemplate.copy();
  row.stateLabel = stateTemplate.copy();
  {
    std::lock_guard lock(taskListsLock);
    taskRows.push_back(row);
  }

  row.nameLabel.setVisible(true);
  row.nameLabel.setLeft(nameTemplate.left());
  row.nameLabel.setTop(nameTemplate.top());
  const int rowTop = row.nameLabel.top();

  row.sizeLabel.setVisible(true);
  row.sizeLabel.setLeft(sizeTemplate.left());
  row.sizeLabel.setTop(rowTop);

  row.progressBar.setVisible(false);
  row.progressBar.setLeft(barTemplate.left());
  row.progressBar.setTop(rowTop);

  row.separatorLine.setVisible(true);
  row.separatorLine.setLeft(lineTemplate.left());
  row.separatorLine.setTop(rowTop + row.nameLabel.height() + 2);

  row.speedLabel.setVisible(true);
  row.speedLabel.setLeft(speedTemplate.left());
  row.speedLabel.setTop(rowTop);

  row.stateLabel.setVisible(true);
  row.stateLabel.setLeft(stateTemplate.left());
  row.stateLabel.setTop(rowTop);
}

void setUpDownloadTask(int32_t taskNumber) {
  if (taskNumber < 1) return;
  std::string address, title;
  {
    std::lock_guard lock(taskListsLock);
    if (taskSettings.size() < static_cast<size_t>(taskNumber)) taskSettings.resize(taskNumber);
    taskSettings[taskNumber - 1].kind = platform::kDownloadKind;
    currentTaskNumber = taskNumber;
    if (launchArguments.size() >= 2) address = launchArguments[1];
    if (launchArguments.size() >= 3) title = launchArguments[2];
  }
  appendToLog("执行下载任务" + std::to_string(taskNumber));

  std::shared_ptr<platform::Downloader> downloader = std::make_shared<platform::Downloader>();
  TaskSettings chosen;
  {
    std::lock_guard lock(taskListsLock);
    TaskSettings& settings = taskSettings[taskNumber - 1];
    settings.address = address;
    settings.title = title;
    settings.speedLimit = 0;
    settings.stopWaitMs = 1000;
    settings.threadCount = 5;
  }
  platform::createFolder(runFolder + "\\main_update\\");
  platform::deleteFile(archivePath(taskNumber));
  {
    std::lock_guard lock(taskListsLock);
    TaskSettings& settings = taskSettings[taskNumber - 1];
    settings.localFile = archivePath(taskNumber);
    settings.connectTimeoutMs = 5000;
    settings.sendTimeoutMs = 5001;
    settings.receiveTimeoutMs = 10000;
    settings.receiveBlockSize = 20480;
    settings.eventRoutine = &forwardTransferEvent;
    settings.messageRoutine = &ignoreTransferMessage;
    downloaders.push_back(downloader);
    chosen = taskSettings[currentTaskNumber - 1];
  }
  // A refused start is not reported: the log keeps only the set-up line.
  downloader->start(chosen);
}

bool stopOnClose() {
  // While the install copies files the close waits for it: the program ends
  // by itself right after, and a cut-short copy would leave a mixed install.
  if (installRunning) return false;
  std::shared_ptr<platform::Downloader> first;
  {
    std::lock_guard lock(taskListsLock);
    if (!downloaders.empty()) first = downloaders.front();
  }
  // During the warm-up no download object exists yet: nothing to stop.
  if (first) {
    std::string resumeState;
    first->stopKeepingState(resumeState);
  }
  return true;
}
