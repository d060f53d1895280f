// Entry-name rules on their own: what must pass as much as what must not.
#include "platform/zip/zip_names.h"

#include <gtest/gtest.h>

using namespace platform::zipnames;

TEST(ZipNames, OrdinaryNamesPass) {
  for (const char* name : {"readme.txt", "中文.txt", ".hidden", "con1", "COM10", "LPT", "CONFIG.SYS", "nul1.txt",
                           "x y.txt", "a.b.c", "誠", "說\xD5\x7C", "~$temp", "[1] (2) {3}", "a#b%c&d", "backup~1.tar.gz", "verylongname~1.txt", "a~b.txt", "x~.log"}) {
    EXPECT_EQ(checkComponent(name), "") << name;
  }
}

TEST(ZipNames, SplitsOnSlashAndBackslashButNotOnTrailBytes) {
  EntryPath path;
  ASSERT_EQ(parseEntryName("a/b\\誠\\c.txt", path), "");
  EXPECT_EQ(path.components, (std::vector<std::string>{"a", "b", "誠", "c.txt"}));
  EXPECT_FALSE(path.isFolder);
  ASSERT_EQ(parseEntryName("中文目录\\", path), "");
  EXPECT_TRUE(path.isFolder);
  EXPECT_EQ(path.components, std::vector<std::string>{"中文目录"});
  ASSERT_EQ(parseEntryName("誠/", path), "");
  EXPECT_TRUE(path.isFolder);
  EXPECT_EQ(path.components, std::vector<std::string>{"誠"});
}

TEST(ZipNames, NamesAsGbk) {
  std::string problem;
  EXPECT_EQ(nameAsGbk(reinterpret_cast<const char*>(u8"说明.txt"), true, problem), "说明.txt");
  EXPECT_EQ(problem, "");
  EXPECT_EQ(nameAsGbk("说明.txt", false, problem), "说明.txt");
  EXPECT_EQ(problem, "");
  nameAsGbk("\xFF\xFF", false, problem);
  EXPECT_NE(problem, "");
}

TEST(ZipNames, CaseIsIgnoredAsWindowsIgnoresIt) {
  auto key = [](std::vector<std::string> parts) { return comparisonKey(parts, parts.size()); };
  EXPECT_EQ(key({"Bin", "Tool.EXE"}), key({"bIN", "tool.exe"}));
  EXPECT_EQ(key({"\xA6\xA1"}), key({"\xA6\xC1"}));  // Greek alpha, upper and lower
  EXPECT_EQ(key({"\xA7\xA1"}), key({"\xA7\xD1"}));  // Cyrillic A
  EXPECT_NE(key({"中"}), key({"文"}));
}
