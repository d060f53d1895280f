// Program start, the launch arguments and the release of the globals.
#include <utility>

#include "platform/services.h"
#include "updater/updater.h"

namespace gui = platform::gui;

std::vector<std::string> launchArguments;
std::vector<TaskRow> taskRows;
std::vector<TaskSettings> taskSettings;
std::vector<std::shared_ptr<platform::Downloader>> downloaders;
int32_t currentTaskNumber = 0;
std::string runFolder;
std::mutex taskListsLock;
bool installRunning = false;
platform::gui::Control eventLog;

namespace {

bool opensTwoByteCharacter(unsigned char c) { return c >= 0x80; }
bool isSeparator(unsigned char c) { return c <= 0x20; }

// Moves past the character at `at`, appending it to `out` when given. The
// second byte of a two-byte character is taken unseen, so it never ends
// anything; a first byte with nothing after it is dropped.
void takeCharacter(const std::string& text, size_t& at, std::string* out) {
  if (opensTwoByteCharacter(static_cast<unsigned char>(text[at]))) {
    if (at + 1 >= text.size()) {
      at = text.size();
      return;
    }
    if (out) out->append(text, at, 2);
    at += 2;
    return;
  }
  if (out) out->push_back(text[at]);
  ++at;
}

size_t skipProgramPath(const std::string& line) {
  size_t at = 0;
  if (!line.empty() && line[0] == '"') {
    at = 1;
    while (at < line.size() && line[at] != '"') takeCharacter(line, at, nullptr);
    if (at < line.size()) ++at;
    if (at < line.size() && line[at] == ' ') ++at;
    return at;
  }
  while (at < line.size() && line[at] != ' ') takeCharacter(line, at, nullptr);
  if (at < line.size()) ++at;
  return at;
}

}  // namespace

std::vector<std::string> splitCommandLine(const std::string& line) {
  std::vector<std::string> arguments;
  size_t at = skipProgramPath(line);
  while (at < line.size()) {
    unsigned char c = static_cast<unsigned char>(line[at]);
    if (isSeparator(c)) {
      ++at;
      continue;
    }
    std::string argument;
    if (c == '"') {
      ++at;
      while (at < line.size() && line[at] != '"') takeCharacter(line, at, &argument);
      if (at < line.size()) ++at;
    } else {
      if (opensTwoByteCharacter(c) && at + 1 >= line.size()) break;  // a lone first byte at the end
      while (at < line.size() && !isSeparator(static_cast<unsigned char>(line[at])) && line[at] != '"')
        takeCharacter(line, at, &argument);
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

bool launchArgumentsAccepted(const std::vector<std::string>& arguments) {
  if (arguments.size() < 6) return false;
  return arguments[0] == kLaunchToken;
}

void createGlobals(const std::string& folder) {
  std::lock_guard lock(taskListsLock);
  launchArguments.clear();
  taskRows.clear();
  taskSettings.clear();
  downloaders.clear();
  currentTaskNumber = 0;
  runFolder = folder;
  installRunning = false;
  eventLog = platform::gui::Control();
}

void releaseGlobals() {
  std::vector<std::shared_ptr<platform::Downloader>> stopping;
  {
    std::lock_guard lock(taskListsLock);
    std::vector<std::string>().swap(launchArguments);
    std::vector<TaskRow>().swap(taskRows);
    std::vector<TaskSettings>().swap(taskSettings);
    stopping.swap(downloaders);
    eventLog = gui::Control();
  }
  // Outside the lock: a managing thread inside handleTransferEvent may need
  // it to finish its message. stop never waits for that thread, so an install
  // that ends the program from inside the hand-over does not deadlock here.
  for (auto& downloader : stopping) downloader->stop();
  stopping.clear();
}

void startUpdate() {
  for (int i = 0; i < 1000; ++i) {
    gui::processPendingEvents();
    gui::sleepMs(1);
  }
  std::vector<std::string> arguments = splitCommandLine(platform::processCommandLine());
  {
    std::lock_guard lock(taskListsLock);
    launchArguments = arguments;
  }
  if (!launchArgumentsAccepted(arguments)) {
    gui::messageBox(kLaunchErrorText, kBoxCaption, gui::BoxIcon::Stop);
    platform::endProgram(0);
  }
  {
    gui::Control log = windowControl("编辑框1");
    std::lock_guard lock(taskListsLock);
    eventLog = log;
  }
  createTaskRow(1);
  setUpDownloadTask(1);
}

void runUpdater(const std::string& folder) {
  createGlobals(folder);
  platform::installExitRoutine(&releaseGlobals);
  gui::loadWindow(updaterWindowSpec());
  gui::runMessageLoop();
  platform::endProgram(0);
}
