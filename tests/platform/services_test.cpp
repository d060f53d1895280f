#include "platform/services.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace platform;
using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;
namespace fs = std::filesystem;

namespace {
// Windows form of a path below a POSIX temp folder: the programs build paths with "\".
std::string win(const std::string& posixPath) {
  std::string s = posixPath;
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}
} // namespace

TEST(Services, FileAndFolderOperationsTakeWindowsPaths) {
  TempFolder t;
  std::string dir = win(t.path()) + "\\main_update";
  EXPECT_TRUE(createFolder(dir));
  EXPECT_FALSE(createFolder(dir));                               // exists already
  EXPECT_FALSE(createFolder(win(t.path()) + "\\a\\b"));          // one level only
  EXPECT_TRUE(folderExists(dir));

  writeFile(t.file("src.txt"), "new");
  writeFile(t.file("main_update/dst.txt"), "old");
  EXPECT_TRUE(copyFile(win(t.file("src.txt")), dir + "\\dst.txt"));
  EXPECT_EQ(readFile(t.file("main_update/dst.txt")), "new");     // replaced
  EXPECT_FALSE(copyFile(win(t.file("none.txt")), dir + "\\x.txt"));

  writeFile(t.file("kept.txt"), "kept");
  EXPECT_FALSE(moveFile(win(t.file("src.txt")), dir + "\\dst.txt"));  // never replaces
  EXPECT_EQ(readFile(t.file("main_update/dst.txt")), "new");
  EXPECT_TRUE(moveFile(win(t.file("kept.txt")), dir + "\\moved.txt"));
  EXPECT_FALSE(fileExists(win(t.file("kept.txt"))));
  EXPECT_EQ(readFile(t.file("main_update/moved.txt")), "kept");
  EXPECT_FALSE(moveFile(dir, win(t.path()) + "\\elsewhere"));         // not a file

  EXPECT_TRUE(deleteFile(dir + "\\dst.txt"));
  EXPECT_FALSE(fileExists(dir + "\\dst.txt"));
  EXPECT_FALSE(deleteFile(dir + "\\dst.txt"));
  EXPECT_FALSE(deleteFile(dir));                                 // not a file
}

TEST(Services, GbkNamesWhoseTrailByteIsABackslashStayWhole) {
  TempFolder t;
  // A GBK character whose second byte is 0x5C must not split the name.
  std::string name = "\x87\x5C" "x";
  EXPECT_TRUE(createFolder(win(t.path()) + "\\" + name));
  EXPECT_TRUE(fs::is_directory(t.path() + "/" + name));
}

TEST(Services, DeleteFolderTreeRemovesEverythingBelowAndRefusesRoots) {
  TempFolder t;
  fs::create_directories(t.path() + "/e_update/a/b");
  writeFile(t.path() + "/e_update/a/b/f.txt", "x");
  writeFile(t.path() + "/e_update/g.txt", "y");
  writeFile(t.path() + "/keep.txt", "z");
  fs::create_symlink(t.path() + "/keep.txt", t.path() + "/e_update/link");
  EXPECT_TRUE(deleteFolderTree("  " + win(t.path()) + "\\e_update"));  // leading blanks ignored
  EXPECT_FALSE(fs::exists(t.path() + "/e_update"));
  EXPECT_EQ(readFile(t.path() + "/keep.txt"), "z");             // a link is removed, not followed

  for (const char* refused : {"", "   ", "C:", "c:\\", "C:/", "/"}) EXPECT_FALSE(deleteFolderTree(refused)) << refused;
  EXPECT_FALSE(deleteFolderTree(win(t.path()) + "\\missing"));
}

TEST(Services, FolderSearchListsFilesOrFoldersOneByOne) {
  TempFolder t;
  fs::create_directories(t.path() + "/sub");
  fs::create_directories(t.path() + "/.hidden");
  writeFile(t.path() + "/b.txt", "");
  writeFile(t.path() + "/a", "");
  std::vector<std::string> files, folders;
  {
    FolderSearch s;
    for (std::string n = s.first(win(t.path()) + "\\*.*", EntryFilter::FilesOnly); !n.empty(); n = s.next())
      files.push_back(n);
  }
  {
    FolderSearch s;
    for (std::string n = s.first(win(t.path()) + "\\*.*", EntryFilter::FoldersOnly); !n.empty(); n = s.next())
      folders.push_back(n);
  }
  EXPECT_EQ(files, (std::vector<std::string>{"a", "b.txt"}));
  EXPECT_EQ(folders, (std::vector<std::string>{".", "..", ".hidden", "sub"}));
  FolderSearch none;
  EXPECT_EQ(none.first(win(t.path()) + "\\missing\\*.*", EntryFilter::FilesOnly), "");
}

TEST(Services, StartProgramRunsTheCommandLineWithoutWaiting) {
  TempFolder t;
  fs::create_directories(t.path() + "/with blank");
  std::string exe = t.path() + "/with blank/rec";
  fs::copy_file(RECORD_COMMAND_LINE_EXE, exe);
  std::string out = t.path() + "/out.txt";
  // Quoted program path with a blank, as a relaunch command line must be.
  std::string line = "\"" + win(exe) + "\" " + out + " extra";
  ASSERT_TRUE(startProgram(line));
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (readFile(out).empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(readFile(out), line);
  EXPECT_FALSE(startProgram(win(t.path()) + "\\nothing.exe"));
}

namespace {
int exitRoutineRuns = 0;
void countExit() { ++exitRoutineRuns; }
} // namespace

TEST(Services, TheExitRoutineRunsOnce) {
  installExitRoutine(countExit);
  runExitRoutine();
  runExitRoutine();
  EXPECT_EQ(exitRoutineRuns, 1);
}

TEST(Services, EndProgramRunsTheExitRoutineAndEndsWithTheCode) {
  EXPECT_EXIT(
      {
        installExitRoutine([] { std::fputs("exit routine ran", stderr); });
        endProgram(7);
      },
      testing::ExitedWithCode(7), "exit routine ran");
}
