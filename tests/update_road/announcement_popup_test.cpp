// The announcement popup on the virtual clock: when it comes, where it goes,
// and what closing, dragging, screen changes and the end of the program do.
#include <gtest/gtest.h>

#include <cstdlib>

#include "navigator/announcement.h"
#include "navigator/announcement_popup.h"
#include "navigator/announcement_popup_picture.h"
#include "navigator/navigator.h"
#include "navigator/service_host.h"
#include "platform/services.h"
#include "tests/update_road/road_fixture.h"

namespace gui = platform::gui;
namespace headless = platform::gui::headless;
using road::manifest;
using road::serve;

namespace {

// On the default 1024 x 768 screen.
constexpr int kHome = 1024 - 250;
constexpr int kShown = 768 - 190;
constexpr int kParked = 768;
// One leg of the slide: 19 steps, the 20th tick finds the end.
constexpr int kLegMs = 20 * 70;
constexpr int kWaitMs = 100000;
constexpr std::int64_t kParkMs = 10000000;
// Probes look half a tick after the popup's own ticks.
constexpr int kHalfTick = 35;

class PopupTest : public road::RoadTest {
protected:
  void SetUp() override {
    RoadTest::SetUp();
    serve("gx/gg.xml", manifest({{"版本号", "2"}}));
  }
  gui::Window popup() { return gui::windowOf(announcementPopupSpec()); }
  int period(const char* timer) { return popup().control(timer).period(); }
  int popupCount() {
    int n = 0;
    for (gui::Window w : headless::windows())
      if (w == popup()) ++n;
    return n;
  }
  // The popup is made at virtual time 0; the cycle times below count from it.
  void pollNow() { headless::runProgram([] { pollAnnouncement(); }); }
  // Expects the popup at (left, top) with its visibility and timers.
  void expectAt(std::int64_t when, int left, int top, bool shown, int rising, int falling) {
    probes_.at(when, [=, this] {
      SCOPED_TRACE("at " + std::to_string(when) + " ms");
      EXPECT_EQ(popup().left(), left);
      EXPECT_EQ(popup().top(), top);
      EXPECT_EQ(popup().visible(), shown);
      EXPECT_EQ(period("时钟1"), rising);
      EXPECT_EQ(period("时钟2"), falling);
    });
  }
  void run(std::int64_t until) {
    while (headless::now() < until && !headless::programEnded())
      headless::advance(static_cast<int>(std::min<std::int64_t>(until - headless::now(), 1 << 30)));
  }

  road::Probes probes_;
};

TEST_F(PopupTest, ComesOnlyForAVersionAboveOne) {
  const struct {
    const char* version;
    bool wanted;
  } cases[] = {{"2", true}, {"1.5", true}, {"1.0000002", true}, {"1", false},
               {"1.00000005", false}, {"0.9", false}, {"公告", false}, {"", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    road::RoadTest::TearDown();
    RoadTest::SetUp();
    serve("gx/gg.xml", manifest({{"版本号", c.version}}));
    pollNow();
    EXPECT_EQ(static_cast<bool>(popup()), c.wanted);
  }
  road::RoadTest::TearDown();
  RoadTest::SetUp();
  serviceHost = "127.0.0.1:1";
  pollNow();
  EXPECT_FALSE(popup()) << "an unreachable host";
}

TEST_F(PopupTest, TheWindowTable) {
  const gui::WindowSpec& spec = announcementPopupSpec();
  EXPECT_EQ(spec.title, "");
  EXPECT_EQ(spec.width, 243);
  EXPECT_EQ(spec.height, 164);
  EXPECT_EQ(spec.frame, gui::Frame::None);
  EXPECT_FALSE(spec.taskbar);
  EXPECT_EQ(spec.esc, gui::EscKey::Nothing);
  EXPECT_TRUE(spec.dragBySurface);
  EXPECT_EQ(spec.backPicture, IDB_POPUP_BACK);
  EXPECT_EQ(spec.keyColour, gui::rgb(255, 0, 255));
  pollNow();
  const struct {
    const char* name;
    int left, top, width, height;
  } places[] = {{"外形框1", 12, 32, 216, 104},
                {"超文本浏览框1", -4, 0, 254, 104},
                {"透明标签2", 184, 136, 48, 24},
                {"透明标签3", 200, 0, 32, 16}};
  for (const auto& p : places) {
    gui::Control c = popup().control(p.name);
    ASSERT_TRUE(c) << p.name;
    EXPECT_EQ(c.left(), p.left) << p.name;
    EXPECT_EQ(c.top(), p.top) << p.name;
    EXPECT_EQ(c.width(), p.width) << p.name;
    EXPECT_EQ(c.height(), p.height) << p.name;
  }
  EXPECT_EQ(popup().control("超文本浏览框1").settings().address, serviceAddress("/gx/gg2.html"));
  EXPECT_TRUE(popup().control("透明标签3").settings().handCursor);
}

TEST_F(PopupTest, PlaceComesFromTheScreenSize) {
  headless::setScreenSize(1280, 1024);
  pollNow();
  ASSERT_TRUE(popup());
  EXPECT_EQ(popup().left(), 1280 - 250);
  EXPECT_EQ(popup().top(), 1024) << "parked below the screen";
  EXPECT_EQ(popup().width(), 243);
  EXPECT_EQ(popup().height(), 164);
  EXPECT_TRUE(popup().visible());
  EXPECT_EQ(period("时钟1"), 70);
  EXPECT_EQ(popupWaitMs, 100000);
  run(kLegMs - kHalfTick);
  EXPECT_EQ(popup().top(), 1024 - 190);
}

TEST_F(PopupTest, TheWholeCycle) {
  pollNow();
  for (int k = 1; k <= 19; ++k) expectAt(70 * k + kHalfTick, kHome, kParked - 10 * k, true, 70, 0);
  expectAt(kLegMs + kHalfTick, kHome, kShown, true, 0, 0);                 // the wait at the top
  expectAt(kLegMs + kWaitMs - kHalfTick, kHome, kShown, true, 0, 0);
  const std::int64_t down = kLegMs + kWaitMs;
  for (int k = 1; k <= 19; ++k) expectAt(down + 70 * k + kHalfTick, kHome, kShown + 10 * k, true, 0, 70);
  const std::int64_t parked = down + kLegMs;
  expectAt(parked + kHalfTick, kHome, kParked, true, 0, 0);                // parked for hours
  expectAt(parked + kParkMs - kHalfTick, kHome, kParked, true, 0, 0);
  expectAt(parked + kParkMs + kHalfTick, kHome, kParked, true, 70, 0);     // up again
  for (int k = 1; k <= 19; ++k)
    expectAt(parked + kParkMs + 70 * k + kHalfTick, kHome, kParked - 10 * k, true, 70, 0);
  run(parked + kParkMs + kLegMs + kHalfTick);
  EXPECT_EQ(popup().top(), kShown);
}

TEST_F(PopupTest, RepeatedPollsMakeNoSecondPopupAndLeaveItsMovementAlone) {
  pollNow();
  probes_.at(5 * 70 + kHalfTick, [] { pollAnnouncement(); });  // while rising
  probes_.at(50000, [] { pollAnnouncement(); });               // during the wait
  expectAt(6 * 70 + kHalfTick, kHome, kParked - 60, true, 70, 0);
  expectAt(50000 + kHalfTick, kHome, kShown, true, 0, 0);
  expectAt(kLegMs + kWaitMs + 70 + kHalfTick, kHome, kShown + 10, true, 0, 70);
  run(kLegMs + kWaitMs + 200);
  EXPECT_EQ(popupCount(), 1);
  EXPECT_EQ(headless::windows().size(), 2u) << "the popup and the probes' window";
}

TEST_F(PopupTest, CloseDuringTheWaitHidesItForOneHundredSecondsThenRunsACleanCycle) {
  pollNow();
  const std::int64_t closeAt = 50000;
  probes_.at(closeAt, [this] { EXPECT_TRUE(headless::press(popup(), "透明标签3")); });
  expectAt(closeAt + kHalfTick, kHome, kParked, false, 0, 0);
  expectAt(closeAt + kWaitMs - kHalfTick, kHome, kParked, false, 0, 0);
  // The first tick of 时钟1 after the wait shows it and lifts it; the wait at
  // the top that the close cut into does not start a fall against the rise.
  const std::int64_t up = closeAt + kWaitMs;
  for (int k = 1; k <= 19; ++k) expectAt(up + 70 * k + kHalfTick, kHome, kParked - 10 * k, true, 70, 0);
  expectAt(up + kLegMs + kHalfTick, kHome, kShown, true, 0, 0);
  expectAt(up + kLegMs + kWaitMs + 70 + kHalfTick, kHome, kShown + 10, true, 0, 70);
  expectAt(up + 2 * kLegMs + kWaitMs + kHalfTick, kHome, kParked, true, 0, 0);
  run(up + 2 * kLegMs + kWaitMs + 100);
}

TEST_F(PopupTest, CloseWhileParkedRisesAgainAfterOneHundredSeconds) {
  pollNow();
  const std::int64_t closeAt = 2 * kLegMs + kWaitMs + 5000;
  probes_.at(closeAt, [this] { EXPECT_TRUE(headless::press(popup(), "透明标签3")); });
  expectAt(closeAt + kHalfTick, kHome, kParked, false, 0, 0);
  expectAt(closeAt + kWaitMs - kHalfTick, kHome, kParked, false, 0, 0);
  expectAt(closeAt + kWaitMs + 70 + kHalfTick, kHome, kParked - 10, true, 70, 0);
  expectAt(closeAt + kWaitMs + kLegMs + kHalfTick, kHome, kShown, true, 0, 0);
  run(closeAt + kWaitMs + kLegMs + 100);
}

TEST_F(PopupTest, CloseWhileRisingComesBackAtTheNextTick) {
  pollNow();
  const std::int64_t closeAt = 5 * 70 + kHalfTick;
  probes_.at(closeAt, [this] { EXPECT_TRUE(headless::press(popup(), "透明标签3")); });
  expectAt(closeAt + 10, kHome, kParked, false, 70, 0);
  expectAt(6 * 70 + kHalfTick, kHome, kParked - 10, true, 70, 0);  // from the parked place
  expectAt(6 * 70 + 19 * 70 + kHalfTick, kHome, kShown, true, 0, 0);
  run(6 * 70 + kLegMs + 100);
}

TEST_F(PopupTest, ASidewaysDragDuringTheWaitStopsTheSlideDown) {
  pollNow();
  probes_.at(50000, [this] { popup().setLeft(600); });
  const std::int64_t down = kLegMs + kWaitMs;
  expectAt(down + kHalfTick, 600, kShown, true, 0, 70);
  expectAt(down + 70 + kHalfTick, 600, kShown, true, 0, 0);  // stopped at its first tick
  expectAt(down + kParkMs, 600, kShown, true, 0, 0);          // and nothing starts it again
  run(down + kParkMs + 100);
}

TEST_F(PopupTest, ASidewaysDragWhileRisingEndsTheRiseAndTheFall) {
  pollNow();
  const int top5 = kParked - 50;
  probes_.at(5 * 70 + kHalfTick, [this] { popup().setLeft(600); });
  expectAt(6 * 70 + kHalfTick, 600, top5, true, 0, 0);  // the wait began at this tick
  expectAt(6 * 70 + kWaitMs - kHalfTick, 600, top5, true, 0, 0);
  expectAt(6 * 70 + kWaitMs + kHalfTick, 600, top5, true, 0, 70);
  expectAt(6 * 70 + kWaitMs + 70 + kHalfTick, 600, top5, true, 0, 0);
  run(6 * 70 + kWaitMs + 1000);
}

TEST_F(PopupTest, AScreenChangeIsSeenAtTheNextStep) {
  pollNow();
  // Taller by 100 during the wait: the fall goes on to the new bottom.
  probes_.at(50000, [] { headless::setScreenSize(1024, 868); });
  const std::int64_t down = kLegMs + kWaitMs;
  expectAt(down + 29 * 70 + kHalfTick, kHome, kShown + 290, true, 0, 70);
  expectAt(down + 30 * 70 + kHalfTick, kHome, 868, true, 0, 0);
  run(down + 31 * 70);
}

TEST_F(PopupTest, AHeightChangeOffTheStepGridStillEndsTheRise) {
  pollNow();
  // 5 px shorter while rising: the shown top 573 is never met exactly.
  probes_.at(5 * 70 + kHalfTick, [] { headless::setScreenSize(1024, 763); });
  probes_.at(30 * 70 + kHalfTick, [this] {
    EXPECT_EQ(period("时钟1"), 0) << "the rise ended";
    EXPECT_GT(popup().top(), 763 - 190 - 10);
    EXPECT_LE(popup().top(), 763 - 190);
  });
  run(30 * 70 + 100);
}

TEST_F(PopupTest, AWidthChangeStopsTheMovementLikeADrag) {
  pollNow();
  probes_.at(5 * 70 + kHalfTick, [] { headless::setScreenSize(1100, 768); });
  expectAt(6 * 70 + kHalfTick, kHome, kParked - 50, true, 0, 0);
  expectAt(6 * 70 + kWaitMs + 70 + kHalfTick, kHome, kParked - 50, true, 0, 0);
  run(6 * 70 + kWaitMs + 1000);
}

TEST_F(PopupTest, TheEndOfTheProgramEndsALongWaitAtOnce) {
  pollNow();
  const std::int64_t endAt = 2 * kLegMs + kWaitMs + 60000;  // parked, ~10,000 s to go
  probes_.at(endAt, [] { platform::endProgram(0); });
  run(2 * kLegMs + kWaitMs + kParkMs + kLegMs);
  EXPECT_TRUE(headless::programEnded());
  EXPECT_EQ(headless::exitCode(), 0);
  EXPECT_EQ(headless::now(), endAt) << "the wait did not run its course";
  EXPECT_EQ(manifestTree, nullptr) << "the exit routine ran";
  EXPECT_EQ(period("时钟1"), 0) << "no step after the wait ran";
}

TEST_F(PopupTest, TheHomePageLinkOpensTheHostsRootThroughExplorer) {
  testing_support::TempFolder folder;
  std::string record = folder.file("open.txt");
  ::setenv("VELMORA_SHELL_OPEN", RECORD_LAUNCH_EXE, 1);
  ::setenv("VELMORA_RECORD_LAUNCH", record.c_str(), 1);
  pollNow();
  EXPECT_TRUE(headless::press(popup(), "透明标签2"));
  std::string line = road::waitForFile(record);
  std::string tail = " explorer.exe http://" + serviceHost;
  ASSERT_GE(line.size(), tail.size());
  EXPECT_EQ(line.substr(line.size() - tail.size()), tail);
}

}  // namespace

namespace {

// The committed back picture: a 24-bit bottom-up BMP of the popup's size whose
// key-colour pixels are the cut-out areas and whose click areas are drawn.
class BackPicture {
public:
  explicit BackPicture(const std::string& file) : bytes_(testing_support::readFile(file)) {}
  std::int32_t field(size_t at, int size) const {
    std::int32_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes_[at + i]);
    return v;
  }
  int width() const { return field(18, 4); }
  int height() const { return field(22, 4); }
  gui::Colour pixel(int x, int y) const {
    size_t stride = (width() * 3 + 3) / 4 * 4;
    size_t at = field(10, 4) + (height() - 1 - y) * stride + x * 3;
    return gui::rgb(static_cast<unsigned char>(bytes_[at + 2]), static_cast<unsigned char>(bytes_[at + 1]),
                    static_cast<unsigned char>(bytes_[at]));
  }
  bool anyKeyColourIn(int left, int top, int w, int h) const {
    for (int y = top; y < top + h; ++y)
      for (int x = left; x < left + w; ++x)
        if (pixel(x, y) == gui::rgb(255, 0, 255)) return true;
    return false;
  }
  std::string bytes_;
};

TEST(PopupBackPicture, ShapesThePopupAndShowsBothClickAreas) {
  BackPicture picture(POPUP_BACK_BMP);
  ASSERT_EQ(picture.bytes_.substr(0, 2), "BM");
  ASSERT_EQ(picture.field(28, 2), 24);
  EXPECT_EQ(picture.width(), 243);
  EXPECT_EQ(picture.height(), 164);
  // The corners are cut out ...
  for (auto [x, y] : {std::pair{0, 0}, {242, 0}, {0, 163}, {242, 163}})
    EXPECT_EQ(picture.pixel(x, y), gui::rgb(255, 0, 255)) << x << "," << y;
  // ... while the page, the close mark and the home-page link stay.
  EXPECT_FALSE(picture.anyKeyColourIn(12, 32, 216, 104));
  EXPECT_FALSE(picture.anyKeyColourIn(200, 0, 32, 16));
  EXPECT_FALSE(picture.anyKeyColourIn(184, 136, 48, 24));
  // The close mark and the link stand out from the frame around them.
  EXPECT_NE(picture.pixel(215, 7), picture.pixel(195, 7));
  EXPECT_NE(picture.pixel(186, 148), picture.pixel(181, 148));
}

}  // namespace
