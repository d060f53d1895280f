// The GUI runtime on the headless backend: timers, waits, threads, boxes.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/gui/gui.h"
#include "platform/gui/headless_test.h"
#include "platform/services.h"

namespace gui = platform::gui;
namespace headless = platform::gui::headless;

namespace {

std::vector<std::string> events;  // what the routines saw, in order

void log(const std::string& what) { events.push_back(what + "@" + std::to_string(headless::now())); }

class GuiRuntime : public ::testing::Test {
protected:
  void SetUp() override {
    headless::reset();
    events.clear();
  }
  void TearDown() override { headless::reset(); }
};

gui::ControlSpec timerRow(const std::string& name, int period, std::function<void()> routine) {
  gui::ControlSpec row;
  row.name = name;
  row.kind = gui::Kind::Timer;
  row.period = period;
  row.elapsed = std::move(routine);
  return row;
}

gui::ControlSpec editRow(const std::string& name) {
  gui::ControlSpec row;
  row.name = name;
  row.kind = gui::Kind::EditBox;
  row.left = 7;
  row.top = 171;
  row.width = 532;
  row.height = 93;
  return row;
}

// ---------------------------------------------------------------- timers

TEST_F(GuiRuntime, TimerPeriodRules) {
  static gui::WindowSpec spec;
  spec = {};
  spec.title = "timers";
  spec.controls = {timerRow("时钟1", 0, [] { log("tick"); })};
  gui::Window w = gui::loadWindow(spec);
  gui::Control timer = w.control("时钟1");

  headless::advance(1000);
  EXPECT_TRUE(events.empty()) << "a timer with period 0 is stopped";

  timer.setPeriod(100);  // starts at 1000
  headless::advance(250);
  EXPECT_EQ(events, (std::vector<std::string>{"tick@1100", "tick@1200"}));

  events.clear();
  timer.setPeriod(100);  // the same period: the phase is kept
  headless::advance(100);
  EXPECT_EQ(events, (std::vector<std::string>{"tick@1300"}));

  events.clear();
  timer.setPeriod(70);  // a new period restarts from now (1350)
  headless::advance(150);
  EXPECT_EQ(events, (std::vector<std::string>{"tick@1420", "tick@1490"}));
  EXPECT_EQ(timer.period(), 70);

  events.clear();
  timer.setPeriod(0);
  headless::advance(1000);
  EXPECT_TRUE(events.empty());
  timer.setPeriod(-5);
  EXPECT_EQ(timer.period(), 0) << "a negative period stops like 0";
  headless::advance(1000);
  EXPECT_TRUE(events.empty());
}

TEST_F(GuiRuntime, TimerStoppedInsideItsOwnRoutineFiresNoMore) {
  static gui::WindowSpec spec;
  static gui::Window w;
  spec = {};
  spec.controls = {timerRow("时钟1", 50, [] {
    log("tick");
    w.control("时钟1").setPeriod(0);
  })};
  w = gui::loadWindow(spec);
  headless::advance(500);
  EXPECT_EQ(events, (std::vector<std::string>{"tick@50"}));
}

// ---------------------------------------------------------------- nested waits

TEST_F(GuiRuntime, WaitInsideWaitReturnsOnlyAfterTheInnerOne) {
  static gui::WindowSpec spec;
  static gui::Window w;
  spec = {};
  gui::ControlSpec button;
  button.name = "按钮1";
  button.kind = gui::Kind::PushButton;
  button.clicked = [] {
    log("outer wait begins");
    gui::eventfulWait(500);
    log("outer wait ends");
  };
  spec.controls = {button, timerRow("时钟1", 200, [] {
                     w.control("时钟1").setPeriod(0);
                     log("inner wait begins");
                     gui::eventfulWait(2000);
                     log("inner wait ends");
                   })};
  w = gui::loadWindow(spec);
  ASSERT_TRUE(headless::click(w, "按钮1"));
  EXPECT_EQ(events, (std::vector<std::string>{"outer wait begins@0", "inner wait begins@200", "inner wait ends@2200",
                                              "outer wait ends@2200"}));
}

TEST_F(GuiRuntime, AnotherTimerTicksInsideAWait) {
  static gui::WindowSpec spec;
  static gui::Window w;
  spec = {};
  spec.controls = {timerRow("时钟1", 70,
                            [] {
                              w.control("时钟1").setPeriod(0);
                              log("wait");
                              gui::eventfulWait(10000000);  // ten thousand seconds
                              log("waited");
                            }),
                   timerRow("时钟2", 3000000, [] { log("other"); })};
  w = gui::loadWindow(spec);
  headless::advance(10000070);
  EXPECT_EQ(events, (std::vector<std::string>{"wait@70", "other@3000000", "other@6000000", "other@9000000",
                                              "waited@10000070"}));
}

TEST_F(GuiRuntime, WaitOfZeroOrLessReturnsAtOnce) {
  for (int ms : {0, -1, -100000}) {
    gui::eventfulWait(ms);
    EXPECT_EQ(headless::now(), 0) << ms;
  }
}

int exitRoutineRuns = 0;
void countExitRoutine() { ++exitRoutineRuns; }

TEST_F(GuiRuntime, EndOfProgramEndsEveryRunningWait) {
  static gui::WindowSpec spec;
  static gui::Window w;
  exitRoutineRuns = 0;
  platform::installExitRoutine(&countExitRoutine);
  spec = {};
  spec.title = "main";
  spec.created = [] { log("created"); };
  spec.controls = {timerRow("时钟1", 100,
                            [] {
                              w.control("时钟1").setPeriod(0);
                              log("outer wait");
                              gui::eventfulWait(100000);
                              log("after outer wait");  // must never run
                            }),
                   timerRow("时钟2", 300,
                            [] {
                              w.control("时钟2").setPeriod(0);
                              log("inner wait");
                              gui::eventfulWait(100000);
                              log("after inner wait");  // must never run
                            }),
                   timerRow("时钟3", 1000, [] {
                     log("end");
                     platform::endProgram(0);
                   })};
  headless::runProgram([] {
    w = gui::loadWindow(spec);
    gui::runMessageLoop();
    log("loop returned");  // must never run either
  });
  platform::installExitRoutine(nullptr);
  EXPECT_TRUE(headless::programEnded());
  EXPECT_EQ(headless::exitCode(), 0);
  EXPECT_EQ(exitRoutineRuns, 1);
  EXPECT_EQ(events, (std::vector<std::string>{"created@0", "outer wait@100", "inner wait@300", "end@1000"}));
  // Once ending, a wait returns at once.
  gui::eventfulWait(5000);
  EXPECT_EQ(headless::now(), 1000);
}

// ---------------------------------------------------------------- threads

std::atomic<int> feedbackThreadMismatch{0};
std::thread::id guiThreadId;

TEST_F(GuiRuntime, FeedbackFromAnotherThreadIsSynchronousAndKeepsOrder) {
  static gui::WindowSpec spec;
  static gui::Window w;
  guiThreadId = std::this_thread::get_id();
  feedbackThreadMismatch = 0;
  spec = {};
  gui::ControlSpec label;
  label.name = "标签10";
  label.visible = false;
  label.feedback = [](int a, int b) {
    if (std::this_thread::get_id() != guiThreadId) ++feedbackThreadMismatch;
    w.control("编辑框1").appendText("f" + std::to_string(a) + ";");
    return a * 1000 + b;
  };
  spec.controls = {editRow("编辑框1"), label};
  w = gui::loadWindow(spec);

  std::atomic<bool> done{false};
  std::vector<int> results;
  std::thread worker([&] {
    gui::Control edit = w.control("编辑框1");
    gui::Control hand = w.control("标签10");
    for (int i = 1; i <= 50; ++i) {
      edit.appendText("a" + std::to_string(i) + ";");
      results.push_back(hand.raiseFeedback(i, 7));
    }
    done = true;
  });
  EXPECT_TRUE(headless::runUntil([&] { return done.load(); }));
  worker.join();

  std::string expected;
  std::vector<int> expectedResults;
  for (int i = 1; i <= 50; ++i) {
    expected += "a" + std::to_string(i) + ";f" + std::to_string(i) + ";";
    expectedResults.push_back(i * 1000 + 7);
  }
  EXPECT_EQ(w.control("编辑框1").caption(), expected);
  EXPECT_EQ(results, expectedResults);
  EXPECT_EQ(feedbackThreadMismatch.load(), 0);
}

TEST_F(GuiRuntime, QueuedFeedbackReturnsAtOnceAndRunsWhenTheGuiThreadPumps) {
  static gui::WindowSpec spec;
  spec = {};
  gui::ControlSpec label;
  label.name = "标签10";
  label.feedback = [](int a, int) {
    log("feedback " + std::to_string(a));
    return 0;
  };
  spec.controls = {label};
  gui::Window w = gui::loadWindow(spec);
  gui::Control label10 = w.control("标签10");
  std::thread([&] { label10.postFeedback(3, 0); }).join();
  EXPECT_TRUE(events.empty()) << "nothing runs before the GUI thread pumps";
  headless::pump();
  EXPECT_EQ(events, (std::vector<std::string>{"feedback 3@0"}));
}

TEST_F(GuiRuntime, ProgramEndReleasesAThreadWaitingInTheHandOver) {
  static gui::WindowSpec spec;
  spec = {};
  gui::ControlSpec label;
  label.name = "标签10";
  label.feedback = [](int, int) -> int { platform::endProgram(0); };
  spec.controls = {label};
  gui::Window w;
  headless::runProgram([&] { w = gui::loadWindow(spec); });
  std::atomic<bool> returned{false};
  int result = -1;
  std::thread worker([&] {
    result = w.control("标签10").raiseFeedback(1, 2);
    returned = true;
  });
  headless::runUntil([&] { return headless::programEnded(); });
  worker.join();  // would hang if the raiser were never released
  EXPECT_TRUE(returned);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(headless::exitCode(), 0);
}

// ---------------------------------------------------------------- boxes

TEST_F(GuiRuntime, MessageBoxesAreRecordedAndEventsRunWhileOneIsOpen) {
  static gui::WindowSpec spec;
  spec = {};
  spec.controls = {timerRow("时钟1", 100, [] { log("tick"); })};
  gui::Window w = gui::loadWindow(spec);
  headless::onMessageBox([](const headless::MessageBoxRecord& box) {
    log("box " + box.text);
    headless::advance(250);  // the user takes a while to press OK
  });
  gui::messageBox("程序调用参数错误！", "信息：", gui::BoxIcon::Stop);
  gui::messageBox("欢迎");
  auto boxes = headless::messageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "程序调用参数错误！");
  EXPECT_EQ(boxes[0].icon, gui::BoxIcon::Stop);
  EXPECT_EQ(boxes[1].caption, "\xD0\xC5\xCF\xA2\xA3\xBA") << "the default caption, GBK bytes";
  EXPECT_EQ(boxes[1].icon, gui::BoxIcon::None);
  EXPECT_EQ(boxes[1].shownAt, 250);
  EXPECT_EQ(events, (std::vector<std::string>{"box 程序调用参数错误！@0", "tick@100", "tick@200", "box 欢迎@250",
                                              "tick@300", "tick@400", "tick@500"}));
}

// ---------------------------------------------------------------- windows

TEST_F(GuiRuntime, LoadingAWindowThatExistsRestoresOrActivatesIt) {
  static gui::WindowSpec spec;
  static int created = 0;
  created = 0;
  spec = {};
  spec.title = "popup";
  spec.width = 243;
  spec.height = 164;
  spec.created = [] { ++created; };
  gui::Window first = gui::loadWindow(spec);
  EXPECT_EQ(first.left(), (1024 - 243) / 2);
  EXPECT_EQ(first.top(), (768 - 164) / 2);
  first.moveTo(774, 768);
  first.minimise();
  EXPECT_TRUE(first.minimised());
  gui::Window again = gui::loadWindow(spec);
  EXPECT_EQ(again, first);
  EXPECT_FALSE(first.minimised());
  EXPECT_EQ(created, 1);
  EXPECT_EQ(headless::windows().size(), 1u);
  EXPECT_EQ(first.left(), 774) << "place is kept";
  EXPECT_EQ(first.top(), 768);
}

TEST_F(GuiRuntime, MinimiseIsEffectiveOnlyWhileVisibleAndAMinimisedWindowCountsAsVisible) {
  static gui::WindowSpec spec;
  spec = {};
  gui::Window w = gui::loadWindow(spec);
  w.hide();
  w.minimise();
  EXPECT_FALSE(w.minimised());
  w.show();
  w.minimise();
  EXPECT_TRUE(w.minimised());
  EXPECT_TRUE(w.visible());
}

TEST_F(GuiRuntime, CloseQueryDecidesAndTheLoopEndsWithTheLastWindow) {
  static gui::WindowSpec spec;
  static bool allow = false;
  spec = {};
  spec.esc = gui::EscKey::AskToClose;
  spec.closeQuery = [] {
    log(allow ? "close allowed" : "close refused");
    return allow;
  };
  gui::Window w = gui::loadWindow(spec);
  allow = false;
  headless::pressEsc(w);
  EXPECT_TRUE(w.exists());
  allow = true;
  headless::userClose(w);
  EXPECT_FALSE(w.exists());
  gui::runMessageLoop();  // returns at once: no window left
  EXPECT_TRUE(headless::windows().empty());
  EXPECT_EQ(events, (std::vector<std::string>{"close refused@0", "close allowed@0"}));
}

// ---------------------------------------------------------------- controls

TEST_F(GuiRuntime, RunTimeCopyHasKindContainerSettingsAndPlace) {
  static gui::WindowSpec spec;
  spec = {};
  gui::ControlSpec panel;
  panel.name = "图片框2";
  panel.kind = gui::Kind::PictureBox;
  gui::ControlSpec label;
  label.name = "标签6";
  label.parent = "图片框2";
  label.left = 2;
  label.top = 21;
  label.width = 124;
  label.height = 19;
  label.back = gui::rgb(236, 236, 236);
  label.visible = false;
  spec.controls = {panel, label};
  gui::Window w = gui::loadWindow(spec);
  gui::Control copy = w.control("标签6").copy();
  ASSERT_TRUE(copy);
  gui::ControlSpec s = copy.settings();
  EXPECT_EQ(s.kind, gui::Kind::Label);
  EXPECT_EQ(s.parent, "图片框2");
  EXPECT_EQ(s.left, 2);
  EXPECT_EQ(s.top, 21);
  EXPECT_EQ(s.width, 124);
  EXPECT_EQ(s.height, 19);
  EXPECT_EQ(s.back, gui::rgb(236, 236, 236));
  EXPECT_FALSE(copy.visible());
  EXPECT_EQ(copy.name(), "标签6#1");
  copy.setCaption("任务");
  copy.setTop(copy.top() + 20);
  EXPECT_EQ(w.control("标签6").caption(), "") << "the template is untouched";
  EXPECT_EQ(w.control("标签6").top(), 21);
  EXPECT_EQ(w.control("标签6#1"), copy);
}

TEST_F(GuiRuntime, AppendGoesToTheEndAfterWhatTheUserTyped) {
  static gui::WindowSpec spec;
  spec = {};
  spec.controls = {editRow("编辑框1")};
  gui::Window w = gui::loadWindow(spec);
  gui::Control edit = w.control("编辑框1");
  edit.appendText("下载开始\r\n");
  ASSERT_TRUE(headless::typeText(w, "编辑框1", "hello"));
  edit.appendText("line");
  edit.appendText("");
  EXPECT_EQ(edit.caption(), "下载开始\r\nhelloline") << "no line break of its own";
}

TEST_F(GuiRuntime, BarPositionIsClampedToItsRange) {
  static gui::WindowSpec spec;
  spec = {};
  gui::ControlSpec bar;
  bar.name = "多功能条1";
  bar.kind = gui::Kind::MultiBar;
  spec.controls = {bar};
  gui::Window w = gui::loadWindow(spec);
  struct Case {
    int set, expect;
  };
  for (Case c : {Case{50, 50}, Case{-3, 0}, Case{100, 100}, Case{250, 100}}) {
    w.control("多功能条1").setPosition(c.set);
    EXPECT_EQ(w.control("多功能条1").position(), c.expect) << c.set;
  }
}

TEST_F(GuiRuntime, ControlOperationsFromAThreadRunOnTheGuiThread) {
  static gui::WindowSpec spec;
  spec = {};
  gui::ControlSpec label;
  label.name = "标签7";
  spec.controls = {label};
  gui::Window w = gui::loadWindow(spec);
  std::atomic<bool> done{false};
  std::string seen;
  std::thread t([&] {
    gui::Control c = w.control("标签7");
    c.setCaption("20.48K");
    c.setVisible(false);
    seen = c.caption();
    done = true;
  });
  EXPECT_TRUE(headless::runUntil([&] { return done.load(); }));
  t.join();
  EXPECT_EQ(seen, "20.48K");
  EXPECT_FALSE(w.control("标签7").visible());
  EXPECT_FALSE(w.control("没有"));
  EXPECT_EQ(w.control("没有").caption(), "");
}

TEST_F(GuiRuntime, ClicksReachOnlyVisibleEnabledControls) {
  static gui::WindowSpec spec;
  spec = {};
  gui::ControlSpec box;
  box.name = "图片框2";
  box.kind = gui::Kind::PictureBox;
  box.mousePressed = [](int x, int y, int keys) {
    log("press " + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(keys));
  };
  gui::ControlSpec hidden;
  hidden.name = "按钮1";
  hidden.kind = gui::Kind::PushButton;
  hidden.parent = "图片框2";
  hidden.clicked = [] { log("clicked"); };
  spec.controls = {box, hidden};
  gui::Window w = gui::loadWindow(spec);
  EXPECT_TRUE(headless::press(w, "图片框2", 10, 20, gui::kLeftButton | gui::kShiftKey));
  w.control("图片框2").hide();
  EXPECT_FALSE(headless::click(w, "按钮1")) << "its container is hidden";
  EXPECT_FALSE(headless::click(w, "没有"));
  EXPECT_EQ(events, (std::vector<std::string>{"press 10,20,5@0"}));
}

}  // namespace
