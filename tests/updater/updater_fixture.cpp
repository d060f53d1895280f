#include "tests/updater/updater_fixture.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/services.h"

namespace fs = std::filesystem;
namespace headless = platform::gui::headless;

namespace updater_testing {

void UpdaterTest::SetUp() {
  headless::reset();
  fs::create_directories(runDir());
  createGlobals(runDir());
  platform::installExitRoutine(&releaseGlobals);
}

void UpdaterTest::TearDown() {
  platform::runExitRoutine();
  releaseGlobals();
  headless::reset();
  unsetenv("VELMORA_COMMAND_LINE");
}

void UpdaterTest::setCommandLine(const std::string& line) { setenv("VELMORA_COMMAND_LINE", line.c_str(), 1); }

bool UpdaterTest::waitForStandIn() const {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (fs::exists(standInMarker()) && !testing_support::readFile(standInMarker()).empty()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

bool UpdaterTest::loadUpdater(const std::string& commandLine) {
  setCommandLine(commandLine);
  headless::runProgram([] { platform::gui::loadWindow(updaterWindowSpec()); });
  return !headless::programEnded();
}

void UpdaterTest::runWholeProgram(const std::string& commandLine) {
  setCommandLine(commandLine);
  std::string folder = runDir();
  headless::runProgram([folder] { runUpdater(folder); });
}

void UpdaterTest::placeNavigatorStandIn(const std::string& name) {
  std::string path = installDir() + "/" + name;
  putFile(path, "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/started\"\n");
  ::chmod(path.c_str(), 0755);
}

void putFile(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  testing_support::writeFile(path, bytes);
}

std::string launchLine(const std::string& runFolder, const std::string& address, const std::string& token) {
  return runFolder + "/update.exe " + token + " " + address +
         " Velmora器 run Velmora器.exe Velmora器_1.18.zip 修正 若干 问题";
}

namespace {
// Large contents compare by length and checksum, so a failure stays readable.
std::string shortForm(const std::string& bytes) {
  if (bytes.size() <= 80) return bytes;
  uint32_t sum = 2166136261u;
  for (unsigned char c : bytes) sum = (sum ^ c) * 16777619u;
  return std::to_string(bytes.size()) + " bytes, FNV " + std::to_string(sum);
}
}  // namespace

std::vector<std::pair<std::string, std::string>> treeContents(const std::string& folder) {
  std::vector<std::pair<std::string, std::string>> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    std::string rel = fs::relative(it->path(), folder).string();
    if (it->is_directory()) files.emplace_back(rel + "/", "");
    else files.emplace_back(rel, shortForm(testing_support::readFile(it->path().string())));
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace updater_testing
