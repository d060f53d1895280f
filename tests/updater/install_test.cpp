// copyFolderTree on a fixture tree, and the whole road from launch to
// relaunch on the headless backend against the real service host.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/gui/headless_test.h"
#include "tests/support/service_host.h"
#include "tests/updater/updater_fixture.h"
#include "tests/zip/zip_builder.h"
#include "updater/updater.h"

namespace fs = std::filesystem;
namespace headless = platform::gui::headless;
using testing_support::fileEntry;
using testing_support::folderEntry;
using testing_support::readFile;
using updater_testing::putFile;
using Tree = std::vector<std::pair<std::string, std::string>>;

namespace {

// Bytes that deflate cannot shrink, so the archive is as large as its data.
std::string noise(size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 12345;
  for (char& c : bytes) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 24);
  }
  return bytes;
}

class CopyFolderTree : public updater_testing::UpdaterTest {};

TEST_F(CopyFolderTree, CopiesFilesAndFoldersKeepsOthersSkipsDotFolders) {
  std::string src = temp.path() + "/src";
  std::string dst = temp.path() + "/dst";
  putFile(src + "/a.txt", "new a");
  putFile(src + "/sub/c.txt", "c");
  putFile(src + "/sub/deep/d.txt", "d");
  putFile(src + "/.hidden/e.txt", "e");
  fs::create_directories(src + "/empty");
  putFile(dst + "/a.txt", "old a");
  putFile(dst + "/only.txt", "only in the target");
  putFile(dst + "/sub/only2.txt", "only here too");

  std::string source = src;
  std::string target = dst;
  copyFolderTree(source, target);

  EXPECT_EQ(source, src + "\\") << "the caller sees the appended backslash";
  EXPECT_EQ(target, dst + "\\");
  EXPECT_EQ(updater_testing::treeContents(dst), (Tree{
                                                     {".hidden/", ""},
                                                     {"a.txt", "new a"},
                                                     {"empty/", ""},
                                                     {"only.txt", "only in the target"},
                                                     {"sub/", ""},
                                                     {"sub/c.txt", "c"},
                                                     {"sub/deep/", ""},
                                                     {"sub/deep/d.txt", "d"},
                                                     {"sub/only2.txt", "only here too"},
                                                 }));
}

TEST_F(CopyFolderTree, MissingTargetIsCreatedForAFolderWithoutFiles) {
  std::string src = temp.path() + "/src";
  fs::create_directories(src + "/inner");
  std::string source = src + "\\";
  std::string target = temp.path() + "\\dst";
  copyFolderTree(source, target);
  EXPECT_EQ(source, src + "\\") << "no second backslash";
  EXPECT_TRUE(fs::is_directory(temp.path() + "/dst/inner"));
}

TEST_F(CopyFolderTree, FolderNameEndingInA5CSecondByte) {
  // "表" is 0xB1ED, but "\x95\x5C" ends in a byte equal to "\": the copy must
  // not take it for a separator.
  const std::string name = "\x95\x5C";
  std::string src = temp.path() + "/src" + name;
  putFile(src + "/f.txt", "f");
  std::string source = src;
  std::string target = temp.path() + "/dst";
  copyFolderTree(source, target);
  EXPECT_EQ(readFile(temp.path() + "/dst/f.txt"), "f");
}

TEST_F(CopyFolderTree, AFileThatCannotBeInstalledUndoesTheWholeCopy) {
  std::string src = temp.path() + "/src";
  std::string dst = temp.path() + "/dst";
  putFile(src + "/a.txt", "new a");
  putFile(src + "/n.txt", "new file");
  putFile(src + "/sub/deep/s.txt", "s");
  putFile(src + "/zz/x.txt", "cannot land");
  putFile(src + "/zz/y.txt", "comes after the failure");
  putFile(dst + "/a.txt", "old a");
  putFile(dst + "/zz/x.txt/in the way.txt", "a folder where the release has a file");
  const Tree before = updater_testing::treeContents(dst);

  std::string source = src;
  std::string target = dst;
  copyFolderTree(source, target);
  ASSERT_EQ(failedInstallFile, dst + "\\zz\\x.txt");
  EXPECT_FALSE(fs::exists(dst + "/zz/y.txt")) << "nothing is installed after the failure";
  EXPECT_EQ(readFile(dst + "/a.txt"), "new a");

  EXPECT_TRUE(undoInstall());
  EXPECT_EQ(updater_testing::treeContents(dst), before);
  EXPECT_EQ(updater_testing::treeContents(runDir() + "/e_backup"), Tree{}) << "the old files went back";
}

// ---------------------------------------------------------------- the road

class UpdateRoad : public updater_testing::UpdaterTest {
protected:
  void SetUp() override {
    UpdaterTest::SetUp();
    putFile(installDir() + "/readme.txt", "old readme");
    putFile(installDir() + "/data/site.txt", "old site");
    putFile(installDir() + "/only-old.txt", "stays");
    placeNavigatorStandIn();
    before = installedFiles();
  }

  void serve(const std::string& archive) { putFile(served.path() + "/release.zip", archive); }

  std::string releaseZip() {
    return testing_support::buildZip({
        fileEntry("readme.txt", "new readme"),
        folderEntry("data/"),
        fileEntry("data/site.txt", "new site"),
        fileEntry("data/pictures/a/b.txt", noise(300000)),
        fileEntry("新文件.txt", "gbk name"),
    });
  }

  // Runs update from launch to its end; true when it ended with code 0.
  bool runRoad(const std::vector<std::string>& switches = {}) {
    testing_support::TestServiceHost host(served.path(), switches);
    runWholeProgram(updater_testing::launchLine(runDir(), host.url("/release.zip")));
    return headless::programEnded() && headless::exitCode() == 0;
  }

  void expectCleanedUpAndRelaunched() {
    EXPECT_FALSE(fs::exists(runDir() + "/main_update/temp1.zip"));
    EXPECT_FALSE(fs::exists(runDir() + "/e_update"));
    EXPECT_FALSE(fs::exists(runDir() + "/e_backup"));
    EXPECT_TRUE(waitForStandIn()) << "the program of argument 5 was started";
  }

  // The install folder apart from the updater's own main_update folder,
  // where the archive folder is made.
  Tree installedFiles() {
    Tree files = updater_testing::treeContents(installDir());
    std::erase_if(files, [](const auto& f) { return f.first.rfind("main_update/", 0) == 0 || f.first == "started"; });
    return files;
  }

  void expectInstallUnchanged() { EXPECT_EQ(installedFiles(), before); }

  testing_support::TempFolder served;
  Tree before;
};

TEST_F(UpdateRoad, WholeReleaseIsInstalledAndTheNavigatorStarted) {
  serve(releaseZip());
  ASSERT_TRUE(runRoad());
  expectCleanedUpAndRelaunched();
  EXPECT_EQ(readFile(installDir() + "/readme.txt"), "new readme");
  EXPECT_EQ(readFile(installDir() + "/data/site.txt"), "new site");
  EXPECT_EQ(readFile(installDir() + "/data/pictures/a/b.txt"), noise(300000));
  EXPECT_EQ(readFile(installDir() + "/新文件.txt"), "gbk name");
  EXPECT_EQ(readFile(installDir() + "/only-old.txt"), "stays");

  const TaskRow& row = taskRows.empty() ? TaskRow{} : taskRows[0];
  (void)row;  // the lists are released at the end; the window still shows the row
  platform::gui::Window window = updaterWindow();
  EXPECT_EQ(window.control("标签6#1").caption(), "Velmora器");
  EXPECT_EQ(window.control("标签7#2").caption(), sizeText(static_cast<int64_t>(releaseZip().size())));
  EXPECT_EQ(window.control("标签9#6").caption(), "下载结束");
  EXPECT_EQ(window.control("标签8#4").caption(), "");
  EXPECT_EQ(window.control("多功能条1#3").position(), 100);
  std::string shown = log();
  EXPECT_EQ(shown.rfind("执行下载任务1", 0), 0u) << shown;
  EXPECT_NE(shown.find(" #传送常量.下载上传开始\r\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find(" #传送常量.收到数据\r\n"), std::string::npos);
  EXPECT_NE(shown.find(" #传送常量.下载上传结束\r\n升级包已安装，共 4 个文件\r\n"), std::string::npos) << shown;
  EXPECT_EQ(readFile(standInMarker()), "\n") << "started without arguments";
}

TEST_F(UpdateRoad, FilesLeftByAnInterruptedInstallAreNotInstalled) {
  putFile(runDir() + "/e_update/stale.txt", "from an earlier try");
  serve(releaseZip());
  ASSERT_TRUE(runRoad());
  expectCleanedUpAndRelaunched();
  EXPECT_EQ(readFile(installDir() + "/readme.txt"), "new readme");
  EXPECT_FALSE(fs::exists(installDir() + "/stale.txt"));
}

TEST_F(UpdateRoad, ACopyFailingHalfWayLeavesTheOldVersionWhole) {
  // The release replaces files, adds folders, and then meets a folder where
  // it has a file, as a file in use would stop it on Windows.
  putFile(installDir() + "/zz/x.txt/keep.txt", "in the way");
  before = installedFiles();
  testing_support::ZipEntry blocked = fileEntry("zz/x.txt", "cannot land");
  serve(testing_support::buildZip({fileEntry("readme.txt", "new readme"), fileEntry("data/site.txt", "new site"),
                                   fileEntry("data/pictures/a/b.txt", "new"), blocked}));
  ASSERT_TRUE(runRoad());
  expectCleanedUpAndRelaunched();
  EXPECT_NE(log().find("升级包未能安装（"), std::string::npos) << log();
  EXPECT_NE(log().find("x.txt），已恢复原版本\r\n"), std::string::npos) << log();
  expectInstallUnchanged();
}

TEST_F(UpdateRoad, TruncatedArchiveInstallsNothing) {
  std::string whole = releaseZip();
  serve(whole.substr(0, whole.size() * 2 / 3));
  ASSERT_TRUE(runRoad());
  expectCleanedUpAndRelaunched();
  EXPECT_NE(log().find("升级包不完整或有误，未安装"), std::string::npos) << log();
  expectInstallUnchanged();
}

TEST_F(UpdateRoad, DamagedDataInstallsNothing) {
  // The directory is sound and the first entry unpacks; the last one lies
  // about its CRC, so a partial unpack must not reach the install folder.
  testing_support::ZipEntry bad = fileEntry("zzz.txt", "last");
  bad.declaredCrc = 0x12345678;
  serve(testing_support::buildZip({fileEntry("readme.txt", "new readme"), bad}));
  ASSERT_TRUE(runRoad());
  expectCleanedUpAndRelaunched();
  expectInstallUnchanged();
}

TEST_F(UpdateRoad, EntryClimbingOutInstallsNothingAndWritesNothingOutside) {
  serve(testing_support::buildZip({fileEntry("readme.txt", "new readme"), fileEntry("../escaped.txt", "out")}));
  ASSERT_TRUE(runRoad());
  expectCleanedUpAndRelaunched();
  expectInstallUnchanged();
  EXPECT_FALSE(fs::exists(temp.path() + "/escaped.txt"));
  EXPECT_FALSE(fs::exists(runDir() + "/escaped.txt"));
  Tree outside = updater_testing::treeContents(temp.path());
  std::erase_if(outside, [](const auto& f) { return f.first.rfind("install/", 0) == 0 && f.first != "install/"; });
  EXPECT_EQ(outside, (Tree{{"install/", ""}}));
  EXPECT_EQ(updater_testing::treeContents(runDir()), (Tree{{"main_update/", ""}}));
}

TEST_F(UpdateRoad, ConnectionDroppedForGoodInstallsNothing) {
  std::string archive = releaseZip();
  serve(archive);
  // Every answer breaks off after 1000 bytes and no range request is served:
  // the download starts and can never get further.
  ASSERT_TRUE(runRoad({"--close-after", "1000", "--ignore-range", "--only", "/release.zip"}));
  expectCleanedUpAndRelaunched();
  EXPECT_NE(log().find("下载未完成，升级包未安装"), std::string::npos) << log();
  expectInstallUnchanged();
}

TEST_F(UpdateRoad, MissingArchiveInstallsNothing) {
  ASSERT_TRUE(runRoad());  // nothing served: 404
  expectCleanedUpAndRelaunched();
  expectInstallUnchanged();
}

}  // namespace
