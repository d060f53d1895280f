// velmora-unzip: exit status 0 only on success; an archive written by
// Python's zipfile, with a GBK name, comes out whole.
#include "tests/support/temp_folder.h"
#include "tests/zip/zip_builder.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

namespace {

int runTool(const std::string& arguments) {
  int status = std::system((std::string("'") + VELMORA_UNZIP_EXE + "' " + arguments + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(UnzipTool, ExitStatusTellsTheOutcome) {
  TempFolder temp;
  writeFile(temp.file("good.zip"), testing_support::buildZip({testing_support::fileEntry("a/b.txt", "fine")}));
  writeFile(temp.file("evil.zip"), testing_support::buildZip({testing_support::fileEntry("../evil.txt", "no")}));
  EXPECT_EQ(runTool(temp.file("good.zip") + " " + temp.file("out")), 0);
  EXPECT_EQ(readFile(temp.file("out/a/b.txt")), "fine");
  EXPECT_EQ(runTool(temp.file("evil.zip") + " " + temp.file("out2")), 1);
  EXPECT_FALSE(std::filesystem::exists(temp.file("evil.txt")));
  EXPECT_EQ(runTool(temp.file("none.zip") + " " + temp.file("out3")), 1);
  EXPECT_EQ(runTool(temp.file("good.zip")), 2);
}

TEST(UnzipTool, ArchiveWrittenByPythonZipfile) {
  TempFolder temp;
  // The ZipInfo subclass writes its name in GBK with the UTF-8 flag clear.
  std::string script = R"PY(
import sys, zipfile
class GbkInfo(zipfile.ZipInfo):
    def _encodeFilenameFlags(self):
        return self.filename.encode('gbk'), self.flag_bits & ~0x800
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('top.txt', 'top ' * 1000)
    z.writestr('nested/deeper/data.bin', bytes(range(256)) * 40, compress_type=zipfile.ZIP_STORED)
    z.writestr('nested/empty/', '')
    info = GbkInfo('\u4e2d\u6587/\u8aa0.txt')
    info.compress_type = zipfile.ZIP_DEFLATED
    z.writestr(info, 'gbk name ' * 300)
    z.writestr('\u66f4\u65b0.txt', 'utf-8 name')
)PY";
  writeFile(temp.file("make.py"), script);
  ASSERT_EQ(std::system((std::string(PYTHON_EXE) + " " + temp.file("make.py") + " " + temp.file("p.zip")).c_str()), 0);
  ASSERT_EQ(runTool(temp.file("p.zip") + " " + temp.file("out")), 0);
  std::string bytes;
  for (int i = 0; i < 40; ++i)
    for (int c = 0; c < 256; ++c) bytes += static_cast<char>(c);
  EXPECT_EQ(readFile(temp.file("out/nested/deeper/data.bin")), bytes);
  std::string top, gbk;
  for (int i = 0; i < 1000; ++i) top += "top ";
  for (int i = 0; i < 300; ++i) gbk += "gbk name ";
  EXPECT_EQ(readFile(temp.file("out/top.txt")), top);
  EXPECT_EQ(readFile(temp.file("out/中文/誠.txt")), gbk);
  EXPECT_EQ(readFile(temp.file("out/更新.txt")), "utf-8 name");
  EXPECT_TRUE(std::filesystem::is_directory(temp.file("out/nested/empty")));
}
