#pragma once
// Shared set-up of the update road tests: one service host for the whole
// binary serving a temp folder, a fresh headless runtime and manifestTree
// per test, and timed probes on the virtual clock.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "platform/gui/headless_test.h"
#include "tests/support/service_host.h"
#include "tests/support/temp_folder.h"

namespace road {

// The served folder and the host serving it.
testing_support::TempFolder& servedFolder();
testing_support::TestServiceHost& serviceHostForTests();

// Writes a file below the served folder ("gx/update.xml" ...), folders made as needed.
void serve(const std::string& path, const std::string& bytes);
// A manifest "最新版本/版本信息" with the given attributes, GBK.
std::string manifest(const std::map<std::string, std::string>& attributes);

// Actions at given virtual times. They run from a timer of a hidden window of
// their own, so they can reach into eventful waits the way a user's click or
// a screen change would.
class Probes {
public:
  Probes();
  void at(std::int64_t when, std::function<void()> action);
  void fire();  // the timer's routine

private:
  std::multimap<std::int64_t, std::function<void()>> due_;
  platform::gui::WindowSpec spec_;
  void rearm();
};

class RoadTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
};

// Waits in real time for a file written by another process.
std::string waitForFile(const std::string& path, int timeoutMs = 5000);

}  // namespace road
