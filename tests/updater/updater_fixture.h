#pragma once
// A headless updater for one test: a fresh install folder below a temp
// folder with the updater's run folder main_update inside it, so that run
// directory + "\..\" is a folder the test owns.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gui/headless_test.h"
#include "tests/support/temp_folder.h"
#include "updater/updater.h"

namespace updater_testing {

class UpdaterTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  std::string installDir() const { return temp.path() + "/install"; }
  std::string runDir() const { return installDir() + "/main_update"; }
  // The process command line the updater reads.
  void setCommandLine(const std::string& line);
  // Loads the updater window, whose created event runs startUpdate with the
  // command line set; true when the program is still running afterwards.
  bool loadUpdater(const std::string& commandLine);
  // The whole program, start to end, as update.exe runs it.
  void runWholeProgram(const std::string& commandLine);
  std::string log() const { return windowControl("编辑框1").caption(); }
  // Puts a stand-in for the navigator into the install folder: a script that
  // writes the file "started" there with the arguments it got.
  void placeNavigatorStandIn(const std::string& name = "Velmora器.exe");
  std::string standInMarker() const { return installDir() + "/started"; }
  // The stand-in runs on its own: waits (with a deadline) for its marker.
  bool waitForStandIn() const;

  testing_support::TempFolder temp;
};

// A command line as the navigator builds it, with `address` as argument 2.
std::string launchLine(const std::string& runFolder, const std::string& address,
                       const std::string& token = kLaunchToken);

// Writes a file, making the folders above it.
void putFile(const std::string& path, const std::string& bytes);

// Every file below `folder` with its contents, by relative path.
std::vector<std::pair<std::string, std::string>> treeContents(const std::string& folder);

}  // namespace updater_testing
