#pragma once
// The updater: its globals, records and the routines bound to its events.
//
// Threads: everything runs on the GUI thread except handleTransferEvent,
// which the download facility calls on a task's managing thread. The lists
// of tasks are touched from both, so they are read and grown under
// taskListsLock, and a Downloader is held by shared ownership: releaseGlobals
// may drop the list while a managing thread still works with its element.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/download/downloader.h"
#include "platform/download/task_settings.h"
#include "platform/gui/gui.h"

// The fixed text the navigator puts first on the updater's command line.
inline const std::string kLaunchToken = "kqzmhost_launcher";
inline const std::string kLaunchErrorText = "程序调用参数错误！";
inline const std::string kBoxCaption = "信息：";

// The run-time copies of the row templates that show one task.
struct TaskRow {
  platform::gui::Control nameLabel;
  platform::gui::Control sizeLabel;
  platform::gui::Control progressBar;
  platform::gui::Control stateLabel;
  platform::gui::Control speedLabel;
  platform::gui::Control unusedSlot1;  // declared by the row layout, never set or read
  platform::gui::Control unusedSlot2;
  platform::gui::Control unusedSlot3;
  platform::gui::Control separatorLine;
};

using TaskSettings = platform::TaskSettings;

// ---------------------------------------------------------------- globals
// Lists are numbered from 1 in the routines; element n sits at index n - 1.
extern std::vector<std::string> launchArguments;
extern std::vector<TaskRow> taskRows;
extern std::vector<TaskSettings> taskSettings;
extern std::vector<std::shared_ptr<platform::Downloader>> downloaders;
extern int32_t currentTaskNumber;
// The folder of update.exe, without a trailing backslash.
extern std::string runFolder;
// Guards the three task lists against the facility's threads.
extern std::mutex taskListsLock;
// The event log 编辑框1 of the live window, found once by startUpdate
// (under taskListsLock).
extern platform::gui::Control eventLog;
// Set while installAndRestart copies files, so that a close cannot cut it short.
extern bool installRunning;

// ------------------------------------------------------ launch arguments
// The process command line split into arguments, program path left out.
std::vector<std::string> splitCommandLine(const std::string& commandLine);
// True when the arguments pass the count check and then the token check.
bool launchArgumentsAccepted(const std::vector<std::string>& arguments);
void createGlobals(const std::string& folder);
void releaseGlobals();
void startUpdate();
// Program start: globals, exit routine, window, message loop, end.
void runUpdater(const std::string& folder);

// ---------------------------------------------------------------- window
const platform::gui::WindowSpec& updaterWindowSpec();
platform::gui::Window updaterWindow();
platform::gui::Control windowControl(const std::string& name);
// The event log 编辑框1.
void appendToLog(const std::string& text);

// --------------------------------------------------------- download task
void createTaskRow(int32_t taskNumber);
void setUpDownloadTask(int32_t taskNumber);
bool stopOnClose();
// Where task n is stored: run directory + "\main_update\temp" + n + ".zip".
std::string archivePath(int32_t taskNumber);

// ------------------------------------------------------- transfer events
int32_t handleTransferEvent(int32_t message, int32_t a2, int32_t a3, int32_t a4, int32_t taskHandle);
std::string sizeText(int64_t bytes);
std::string speedText(int64_t bytes);
int progressPercent(int64_t received, int64_t total);
std::string transferLogLine(int32_t message);
double roundToHundredths(double value);

// --------------------------------------------------------------- install
int installAndRestart(int taskNumber, int second);
void copyFolderTree(std::string& source, std::string& target);
// What copyFolderTree changed in the install folder, so that a copy that
// fails half-way can be undone and the old version kept whole.
struct ReplacedFile {
  std::string target;
  std::string backup;  // where the old file waits; empty when the file is new
};
extern std::vector<ReplacedFile> replacedFiles;
extern std::vector<std::string> createdFolders;
// The first file copyFolderTree could not install; empty while all went well.
// Once set, copyFolderTree installs nothing more.
extern std::string failedInstallFile;
// Puts the old files back, newest change first, and removes what the copy
// made; false when an old file could not be put back (it stays in backupFolder).
bool undoInstall();
// Where replaced files are kept until the install has finished.
std::string backupFolder();
std::string extractionFolder();
std::string installFolder();
std::string relaunchCommandLine();
