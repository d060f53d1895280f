// The splitting rule, the two launch checks and the start of the updater.
#include <gtest/gtest.h>

#include "platform/gui/headless_test.h"
#include "tests/updater/updater_fixture.h"
#include "updater/updater.h"

namespace headless = platform::gui::headless;
using Arguments = std::vector<std::string>;

namespace {

struct SplitCase {
  const char* what;
  std::string line;
  Arguments expected;
};

TEST(SplittingRule, TableOfCommandLines) {
  const std::string lead = "\xB0";  // first byte of a two-byte GBK character
  const std::vector<SplitCase> cases = {
      {"nothing at all", "", {}},
      {"program path only", "C:\\Tools\\update.exe", {}},
      {"unquoted program path", "C:\\Tools\\update.exe a b", {"a", "b"}},
      {"quoted program path with a blank", "\"C:\\My Tools\\update.exe\" a b", {"a", "b"}},
      {"quoted program path, no blank after it", "\"C:\\My Tools\\update.exe\"a b", {"a", "b"}},
      {"quoted program path never closed", "\"C:\\My Tools\\update.exe a", {}},
      {"unquoted program path with a blank", "C:\\My Tools\\update.exe kqz", {"Tools\\update.exe", "kqz"}},
      {"quoted argument keeps its blanks", "p \"two words\" x", {"two words", "x"}},
      {"empty quoted argument", "p \"\" x", {"", "x"}},
      {"empty quoted argument at the end", "p a \"\"", {"a", ""}},
      {"lone quote at the end", "p a \"", {"a", ""}},
      {"quoted argument never closed", "p \"a b", {"a b"}},
      {"quote inside a plain argument", "p ab\"c d\"e", {"ab", "c d", "e"}},
      {"control bytes separate", "p a\tb\x01" "c\x1f" "d\x20" "e", {"a", "b", "c", "d", "e"}},
      {"DEL is no control byte here", "p a\x7f" "b", {"a\x7f" "b"}},
      {"several blanks", "p   a    b   ", {"a", "b"}},
      {"lead byte then a blank", "p " + lead + " x y", {lead + " x", "y"}},
      {"lead byte then a quote", "p a" + lead + "\"b c", {"a" + lead + "\"b", "c"}},
      {"lead byte then a quote inside quotes", "p \"a" + lead + "\" b\" c", {"a" + lead + "\" b", "c"}},
      {"lead byte then a backslash", "p a" + lead + "\\b c", {"a" + lead + "\\b", "c"}},
      {"lead byte then a blank in the program path", "C:\\" + lead + " x.exe a", {"a"}},
      {"lead byte then a quote in a quoted program path", "\"C:\\" + lead + "\" y.exe\" a", {"a"}},
      {"GBK text", "p 修正 问题", {"修正", "问题"}},
      {"lone lead byte at the end of an argument", "p ab" + lead, {"ab"}},
      {"lone lead byte alone at the end", "p a " + lead, {"a"}},
      {"lone lead byte at the end of a quoted argument", "p \"ab" + lead, {"ab"}},
      {"byte 0x80 counts as a first byte", "p a\x80 b", {"a\x80 b"}},
  };
  for (const SplitCase& c : cases) EXPECT_EQ(splitCommandLine(c.line), c.expected) << c.what;
}

TEST(LaunchChecks, CountBeforeTokenAndExactToken) {
  const Arguments five = {kLaunchToken, "http://h/a.zip", "t", "run", "v.exe"};
  Arguments six = five;
  six.push_back("f.zip");
  Arguments seven = six;
  seven.push_back("notes");
  Arguments caseOnly = six;
  caseOnly[0] = "Kqzmhost_launcher";
  Arguments shortToken = six;
  shortToken[0] = "kqzmhost_launche";
  Arguments longToken = six;
  longToken[0] = "kqzmhost_launcher ";

  EXPECT_FALSE(launchArgumentsAccepted({}));
  EXPECT_FALSE(launchArgumentsAccepted(five)) << "five arguments fail although the token is right";
  EXPECT_TRUE(launchArgumentsAccepted(six)) << "exactly six arguments are enough";
  EXPECT_TRUE(launchArgumentsAccepted(seven));
  EXPECT_FALSE(launchArgumentsAccepted(caseOnly)) << "the token is compared case-sensitively";
  EXPECT_FALSE(launchArgumentsAccepted(shortToken));
  EXPECT_FALSE(launchArgumentsAccepted(longToken));
}

class UpdaterStart : public updater_testing::UpdaterTest {};

void expectLaunchError() {
  ASSERT_EQ(headless::messageBoxes().size(), 1u);
  const auto box = headless::messageBoxes()[0];
  EXPECT_EQ(box.text, "程序调用参数错误！");
  EXPECT_EQ(box.caption, "信息：");
  EXPECT_EQ(box.icon, platform::gui::BoxIcon::Stop);
  EXPECT_GE(box.shownAt, 1000) << "the box comes after the warm-up of 1000 x 1 ms";
  EXPECT_TRUE(headless::programEnded());
  EXPECT_EQ(headless::exitCode(), 0);
  EXPECT_TRUE(launchArguments.empty()) << "releaseGlobals ran at the end";
}

TEST_F(UpdaterStart, NoArgumentsShowTheLaunchError) {
  runWholeProgram(runDir() + "\\update.exe");
  expectLaunchError();
}

TEST_F(UpdaterStart, WrongTokenShowsTheLaunchError) {
  runWholeProgram(updater_testing::launchLine(runDir(), "http://127.0.0.1:9/a.zip", "KQZMHOST_LAUNCHER"));
  expectLaunchError();
}

TEST_F(UpdaterStart, UnquotedProgramPathWithABlankFailsTheTokenCheck) {
  runWholeProgram("C:\\My Tools\\main_update\\update.exe kqzmhost_launcher a b run v.exe f.zip");
  expectLaunchError();
}

TEST_F(UpdaterStart, ExactlySixArgumentsAreAccepted) {
  // Empty release notes: the line ends with the file name and one blank.
  std::string line = runDir() + "\\update.exe kqzmhost_launcher nohost Velmora器 run Velmora器.exe f.zip ";
  ASSERT_TRUE(loadUpdater(line));
  EXPECT_TRUE(headless::messageBoxes().empty());
  EXPECT_EQ(launchArguments,
            (Arguments{"kqzmhost_launcher", "nohost", "Velmora器", "run", "Velmora器.exe", "f.zip"}));
  EXPECT_EQ(taskRows.size(), 1u);
  EXPECT_EQ(downloaders.size(), 1u);
  EXPECT_EQ(currentTaskNumber, 1);
}

TEST_F(UpdaterStart, CloseQueryBeforeAnyDownloadObjectLetsTheWindowClose) {
  ASSERT_TRUE(downloaders.empty());
  EXPECT_TRUE(stopOnClose());
}

}  // namespace
