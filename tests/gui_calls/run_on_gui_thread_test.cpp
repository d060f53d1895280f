// runOnGuiThread on the headless backend: a block of control operations from
// another thread runs on the GUI thread, whole and in order, while the
// caller waits.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/gui/gui.h"
#include "platform/gui/headless_test.h"
#include "platform/services.h"

namespace gui = platform::gui;
namespace headless = platform::gui::headless;

namespace {

class RunOnGuiThread : public ::testing::Test {
protected:
  void SetUp() override {
    headless::reset();
    spec_ = {};
    gui::ControlSpec log;
    log.name = "编辑框1";
    log.kind = gui::Kind::EditBox;
    gui::ControlSpec state;
    state.name = "标签4";
    gui::ControlSpec bar;
    bar.name = "多功能条1";
    bar.kind = gui::Kind::MultiBar;
    spec_.controls = {log, state, bar};
    window_ = gui::loadWindow(spec_);
    log_ = window_.control("编辑框1");
  }
  void TearDown() override { headless::reset(); }

  gui::WindowSpec spec_;
  gui::Window window_;
  gui::Control log_;
};

TEST_F(RunOnGuiThread, OnTheGuiThreadTheRoutineIsSimplyCalled) {
  bool onGui = false;
  EXPECT_TRUE(gui::runOnGuiThread([&] {
    onGui = gui::onGuiThread();
    log_.appendText("a");
  }));
  EXPECT_TRUE(onGui);
  EXPECT_EQ(log_.caption(), "a");
}

TEST_F(RunOnGuiThread, FromAnotherThreadTheCallerWaitsForTheWholeBlock) {
  gui::Control state = window_.control("标签4");
  gui::Control bar = window_.control("多功能条1");
  std::atomic<bool> returned{false};
  std::atomic<bool> ranOnGui{false};
  std::string seenAfterReturn;
  std::thread worker([&] {
    bool ran = gui::runOnGuiThread([&] {
      ranOnGui = gui::onGuiThread();
      state.hide();
      bar.setPosition(42);
      log_.appendText("one;");
      log_.appendText("two;");
    });
    // Everything the block did is there once the call is back.
    seenAfterReturn = log_.caption() + (ran ? "ran" : "not run");
    returned = true;
  });
  // Nothing runs and nobody returns before the GUI thread pumps.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(returned.load());
  EXPECT_EQ(log_.caption(), "");
  EXPECT_TRUE(headless::runUntil([&] { return returned.load(); }));
  worker.join();
  EXPECT_TRUE(ranOnGui.load());
  EXPECT_EQ(seenAfterReturn, "one;two;ran");
  EXPECT_FALSE(state.visible());
  EXPECT_EQ(bar.position(), 42);
}

TEST_F(RunOnGuiThread, BlocksOfTwoThreadsDoNotInterleave) {
  auto writer = [&](char tag) {
    for (int i = 0; i < 200; ++i)
      gui::runOnGuiThread([&] {
        for (int part = 0; part < 3; ++part) log_.appendText(std::string(1, tag));
        log_.appendText("|");
      });
  };
  std::atomic<int> finished{0};
  std::thread a([&] { writer('a'); ++finished; });
  std::thread b([&] { writer('b'); ++finished; });
  EXPECT_TRUE(headless::runUntil([&] { return finished.load() == 2; }));
  a.join();
  b.join();
  std::string text = log_.caption();
  ASSERT_EQ(text.size(), 400u * 4);
  int blocksA = 0;
  for (size_t at = 0; at < text.size(); at += 4) {
    std::string block = text.substr(at, 4);
    ASSERT_TRUE(block == "aaa|" || block == "bbb|") << "at " << at << ": " << block;
    blocksA += block == "aaa|";
  }
  EXPECT_EQ(blocksA, 200);
}

TEST_F(RunOnGuiThread, AFailureComesBackToTheCallerAndTheGuiThreadGoesOn) {
  std::atomic<bool> done{false};
  std::string caught;
  std::thread worker([&] {
    try {
      gui::runOnGuiThread([&] {
        log_.appendText("before;");
        throw std::runtime_error("row gone");
      });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    done = true;
  });
  EXPECT_TRUE(headless::runUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(caught, "row gone");
  log_.appendText("after;");
  EXPECT_EQ(log_.caption(), "before;after;");
}

TEST_F(RunOnGuiThread, NothingRunsOnceTheProgramIsEnding) {
  headless::runProgram([] { platform::endProgram(0); });
  ASSERT_TRUE(headless::programEnded());
  bool ran = true;
  bool called = false;
  std::thread([&] { ran = gui::runOnGuiThread([&] { called = true; }); }).join();
  EXPECT_FALSE(ran);
  EXPECT_FALSE(called);
}

}  // namespace
