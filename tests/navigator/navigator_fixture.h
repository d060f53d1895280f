#pragma once
// The navigator's globals and main window on the headless runtime, against a
// real service host on 127.0.0.1.
//
// The window tables are built once per process and take the service host's
// address when they are built, so one service host serves the whole test
// program (started before any test, see navigator_fixture.cpp); a test that
// needs a faulty host starts its own and points serviceHost at it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "navigator/main_window.h"
#include "navigator/navigator.h"
#include "navigator/service_host.h"
#include "platform/gui/headless_test.h"
#include "platform/services.h"
#include "tests/support/service_host.h"
#include "tests/support/temp_folder.h"

// The served folder and the server of the whole test program.
const std::string& sharedRoot();
testing_support::TestServiceHost& sharedHost();
// serviceHost as the build set it, before the tests pointed it elsewhere.
const std::string& builtServiceHost();
// Writes a file below the served folder, making its folders.
void writeServedFile(const std::string& relative, const std::string& bytes);

class NavigatorTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // The start of startNavigator up to the loaded main window, without the
  // message loop, so that a test drives the events itself.
  platform::gui::Window start();
  platform::gui::Window startAgainst(const std::string& host);
  // What the shared host logged since this test began.
  std::string hostLog() const;

private:
  size_t logMark_ = 0;
};
