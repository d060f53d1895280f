// The extractor against archives written by the tests: sound ones must come
// out byte for byte, damaged and hostile ones must fail, and nothing may ever
// appear outside the target folder.
#include "platform/zip/zip_extractor.h"
#include "tests/support/temp_folder.h"
#include "tests/zip/zip_builder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>

namespace platform {
// Readable statuses in failure messages.
void PrintTo(UnzipStatus status, std::ostream* os) {
  static const char* const names[] = {"Ok", "CannotOpenArchive", "DamagedArchive", "HostileName", "UnsupportedEntry",
                                      "LimitExceeded", "DamagedData", "CannotWrite", "Cancelled"};
  *os << names[static_cast<int>(status)];
}
} // namespace platform

namespace fs = std::filesystem;
using platform::UnzipResult;
using platform::UnzipStatus;
using platform::unzipArchive;
using testing_support::buildZip;
using testing_support::fileEntry;
using testing_support::folderEntry;
using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;
using testing_support::ZipEntry;

namespace {

std::string u8text(const char8_t* s) { return reinterpret_cast<const char*>(s); }

std::string randomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

// Every path below `root`, relative, sorted; folders end with "/".
std::vector<std::string> tree(const std::string& root) {
  std::vector<std::string> out;
  if (!fs::exists(root)) return out;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    std::string rel = fs::relative(item.path(), root).string();
    out.push_back(item.is_directory() ? rel + "/" : rel);
  }
  std::sort(out.begin(), out.end());
  return out;
}

class ZipExtractorTest : public testing::Test {
protected:
  UnzipResult unzip(const std::string& archiveBytes, const platform::ZipLimits& limits = {}) {
    writeFile(archive, archiveBytes);
    return unzipArchive(archive, target, {}, limits);
  }
  UnzipResult unzip(const std::vector<ZipEntry>& entries, bool zip64End = false) {
    return unzip(buildZip(entries, zip64End));
  }
  // Only the archive and the target folder are in the test's folder.
  void expectNothingOutsideTarget() {
    for (const std::string& item : tree(temp.path())) {
      if (item == "a.zip" || item.rfind("out/", 0) == 0) continue;
      ADD_FAILURE() << "written outside the target: " << item;
    }
  }

  TempFolder temp;
  std::string archive = temp.file("a.zip");
  std::string target = temp.file("out");
};

TEST_F(ZipExtractorTest, UnpacksNestedFoldersStoredAndDeflated) {
  std::string big = randomBytes(300000, 1) + std::string(200000, 'z');
  UnzipResult r = unzip({
      fileEntry("readme.txt", "top level\r\n"),
      folderEntry("bin/"),
      fileEntry("bin/tool.exe", big, 8),
      fileEntry("bin/data/deep/stored.dat", randomBytes(70000, 2), 0),
      fileEntry("bin/data/empty.txt", ""),
      folderEntry("lonely/"),
  });
  ASSERT_TRUE(r.ok()) << r.reason;
  EXPECT_EQ(r.entryCount, 6u);
  EXPECT_EQ(r.filesWritten, 4u);
  EXPECT_EQ(r.foldersCreated, 4u);  // bin, bin/data, bin/data/deep, lonely
  EXPECT_EQ(r.bytesWritten, 11u + big.size() + 70000u);
  EXPECT_EQ(tree(target), (std::vector<std::string>{"bin/", "bin/data/", "bin/data/deep/",
                                                    "bin/data/deep/stored.dat", "bin/data/empty.txt",
                                                    "bin/tool.exe", "lonely/", "readme.txt"}));
  EXPECT_EQ(readFile(target + "/bin/tool.exe"), big);
  EXPECT_EQ(readFile(target + "/bin/data/deep/stored.dat"), randomBytes(70000, 2));
  EXPECT_EQ(readFile(target + "/readme.txt"), "top level\r\n");
}

TEST_F(ZipExtractorTest, ReplacesFilesLeftByAnEarlierUnpack) {
  fs::create_directories(target + "/bin");
  writeFile(target + "/bin/tool.exe", std::string(5000, 'o'));
  writeFile(target + "/stays.txt", "old");
  ASSERT_TRUE(unzip({fileEntry("bin/tool.exe", "new")}).ok());
  EXPECT_EQ(readFile(target + "/bin/tool.exe"), "new");
  EXPECT_EQ(readFile(target + "/stays.txt"), "old");
}

TEST_F(ZipExtractorTest, EmptyArchiveSucceedsAndCreatesTheTarget) {
  UnzipResult r = unzip(buildZip({}));
  ASSERT_TRUE(r.ok()) << r.reason;
  EXPECT_EQ(r.entryCount, 0u);
  EXPECT_TRUE(fs::is_directory(target));
  EXPECT_TRUE(tree(target).empty());

  std::string withComment = buildZip({});
  withComment[20] = 3;
  withComment += "abc";
  fs::remove_all(target);
  EXPECT_TRUE(unzip(withComment).ok());
  EXPECT_TRUE(fs::is_directory(target));
}

TEST_F(ZipExtractorTest, GbkNamesAsWindowsToolsWriteThem) {
  // 0xD5 0x5C is one character whose second byte looks like "\".
  std::string name = "中文目录\\说明\xD5\x5C.txt";
  ZipEntry e = fileEntry(name, "gbk");
  e.madeBy = 0x0014;  // MS-DOS, no Unix mode
  e.externalAttributes = 0x20;
  UnzipResult r = unzip({e, fileEntry("中文目录/諀x.txt", "pipe trail")});
  ASSERT_TRUE(r.ok()) << r.reason;
  EXPECT_EQ(readFile(target + "/中文目录/说明\xD5\x5C.txt"), "gbk");
  EXPECT_EQ(readFile(target + "/中文目录/諀x.txt"), "pipe trail") << "0x7C trail byte is not a \"|\"";
  EXPECT_EQ(tree(target).size(), 3u);
}

TEST_F(ZipExtractorTest, Utf8NamesAreConvertedToGbk) {
  ZipEntry e = fileEntry(u8text(u8"更新/说明.txt"), "utf8");
  e.flags = 0x0800;
  UnzipResult r = unzip({e});
  ASSERT_TRUE(r.ok()) << r.reason;
  EXPECT_EQ(readFile(target + "/更新/说明.txt"), "utf8");  // GBK bytes: the sources' literals are GBK
}

TEST_F(ZipExtractorTest, Zip64EndRecord) {
  UnzipResult r = unzip({fileEntry("big/a.bin", randomBytes(100000, 3)), fileEntry("b.txt", "plain", 0)}, true);
  ASSERT_TRUE(r.ok()) << r.reason;
  EXPECT_EQ(readFile(target + "/big/a.bin"), randomBytes(100000, 3));
  EXPECT_EQ(readFile(target + "/b.txt"), "plain");
}

TEST_F(ZipExtractorTest, Zip64ExtraFields) {
  ZipEntry a = fileEntry("big/a.bin", randomBytes(100000, 3));
  a.zip64 = true;
  ZipEntry b = fileEntry("b.txt", "plain", 0);
  b.zip64 = true;
  UnzipResult r = unzip({a, b, fileEntry("c.txt", "no extra")}, true);
  if (sizeof(long) == 8) {
    // minizip 1.1 compares the 32-bit marker with (unsigned long)-1, so with
    // a 64-bit long it never reads ZIP64 extra fields. The Win32 build
    // (32-bit long) reads them, as the Wine test shows; here the archive
    // must at least be refused rather than misread.
    EXPECT_EQ(r.status, UnzipStatus::DamagedArchive) << r.reason;
    EXPECT_FALSE(fs::exists(target));
    return;
  }
  ASSERT_TRUE(r.ok()) << r.reason;
  EXPECT_EQ(readFile(target + "/big/a.bin"), randomBytes(100000, 3));
  EXPECT_EQ(readFile(target + "/b.txt"), "plain");
  EXPECT_EQ(readFile(target + "/c.txt"), "no extra");
}

TEST_F(ZipExtractorTest, FoldersDifferingInCaseAreOneFolder) {
  ASSERT_TRUE(unzip({fileEntry("Data/x.txt", "x"), fileEntry("DATA/y.txt", "y")}).ok());
  EXPECT_EQ(tree(target), (std::vector<std::string>{"Data/", "Data/x.txt", "Data/y.txt"}));
}

TEST_F(ZipExtractorTest, ProgressReachesTheTotalAndCanStop) {
  std::vector<ZipEntry> entries = {fileEntry("a", randomBytes(200000, 4)), fileEntry("b", "tail")};
  writeFile(archive, buildZip(entries));
  std::vector<uint64_t> seen;
  UnzipResult r = unzipArchive(archive, target, [&](uint64_t done, uint64_t total) {
    EXPECT_EQ(total, 200004u);
    seen.push_back(done);
    return true;
  });
  ASSERT_TRUE(r.ok()) << r.reason;
  ASSERT_GE(seen.size(), 3u);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), 200004u);

  r = unzipArchive(archive, temp.file("out2"), [](uint64_t, uint64_t) { return false; });
  EXPECT_EQ(r.status, UnzipStatus::Cancelled);
}

TEST_F(ZipExtractorTest, MissingArchiveOrNotAZip) {
  EXPECT_EQ(unzipArchive(temp.file("none.zip"), target).status, UnzipStatus::CannotOpenArchive);
  EXPECT_EQ(unzip(std::string("just some text, not an archive")).status, UnzipStatus::CannotOpenArchive);
  EXPECT_FALSE(fs::exists(target));
}

// ---- damaged archives ----

TEST_F(ZipExtractorTest, EveryTruncationFails) {
  std::string whole = buildZip({fileEntry("a/one.bin", randomBytes(5000, 5)), fileEntry("two.txt", "second", 0)});
  for (size_t keep : {size_t(0), size_t(10), size_t(30), size_t(200), whole.size() / 2, whole.size() - 60,
                      whole.size() - 23, whole.size() - 3, whole.size() - 1}) {
    fs::remove_all(target);
    UnzipResult r = unzip(whole.substr(0, keep));
    EXPECT_FALSE(r.ok()) << "kept " << keep << " of " << whole.size();
  }
  expectNothingOutsideTarget();
}

TEST_F(ZipExtractorTest, DataCutShortBehindAnIntactDirectory) {
  // The central directory survives but the file data is a few bytes short:
  // the entry's data runs into the next header.
  std::string data = randomBytes(4000, 6);
  ZipEntry e = fileEntry("cut.bin", data, 0);
  e.rawData = data.substr(0, 3990);
  e.declaredCompressedSize = 4000;
  UnzipResult r = unzip({e, fileEntry("next.txt", "n", 0)});
  EXPECT_EQ(r.status, UnzipStatus::DamagedData) << r.reason;
}

TEST_F(ZipExtractorTest, BadCrcFails) {
  ZipEntry deflated = fileEntry("d.txt", std::string(10000, 'd'));
  deflated.declaredCrc = 0x12345678;
  UnzipResult r = unzip({deflated});
  EXPECT_EQ(r.status, UnzipStatus::DamagedData);
  EXPECT_NE(r.reason.find("CRC"), std::string::npos) << r.reason;

  ZipEntry stored = fileEntry("s.txt", "stored bytes", 0);
  stored.declaredCrc = 1;
  EXPECT_EQ(unzip({fileEntry("fine.txt", "ok"), stored}).status, UnzipStatus::DamagedData);
}

struct LyingSize {
  const char* what;
  uint16_t method;
  std::optional<uint64_t> size, compressedSize;
  UnzipStatus expected;
};

// Test names show what the case is, not the bytes of the record.
void PrintTo(const LyingSize& c, std::ostream* out) { *out << c.what; }

class LyingSizeTest : public ZipExtractorTest, public testing::WithParamInterface<LyingSize> {};

TEST_P(LyingSizeTest, Fails) {
  const LyingSize& p = GetParam();
  ZipEntry e = fileEntry("liar.bin", randomBytes(20000, 7), p.method);
  e.declaredSize = p.size;
  e.declaredCompressedSize = p.compressedSize;
  UnzipResult r = unzip({e, fileEntry("after.txt", "x")});
  EXPECT_EQ(r.status, p.expected) << p.what << ": " << r.reason;
  expectNothingOutsideTarget();
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, LyingSizeTest,
    testing::Values(
        LyingSize{"deflated, declared larger", 8, 30000, std::nullopt, UnzipStatus::DamagedData},
        LyingSize{"deflated, declared smaller", 8, 10000, std::nullopt, UnzipStatus::DamagedData},
        LyingSize{"deflated, compressed size short", 8, std::nullopt, 100, UnzipStatus::DamagedData},
        LyingSize{"stored, both declared larger", 0, 30000, 30000, UnzipStatus::DamagedArchive},
        LyingSize{"stored, sizes differ", 0, 20000, 19000, UnzipStatus::DamagedArchive},
        LyingSize{"compressed size beyond the archive", 8, std::nullopt, 1u << 30, UnzipStatus::DamagedArchive}));

TEST_F(ZipExtractorTest, CorruptDeflateDataFails) {
  std::string data = randomBytes(1000, 8) + std::string(50000, 'q');
  std::string deflated = testing_support::deflateRaw(data);
  for (size_t at : {size_t(0), deflated.size() / 3, deflated.size() / 2}) {
    ZipEntry e = fileEntry("bad.bin", data);
    e.rawData = deflated;
    for (size_t i = at; i < at + 3 && i < deflated.size(); ++i) (*e.rawData)[i] = static_cast<char>(0xFF);
    fs::remove_all(target);
    UnzipResult r = unzip({e});
    EXPECT_EQ(r.status, UnzipStatus::DamagedData) << "corrupted at " << at << ": " << r.reason;
  }
}

TEST_F(ZipExtractorTest, LocalHeaderThatDisagreesFails) {
  std::string bytes = buildZip({fileEntry("x.txt", "hello", 0)});
  bytes[8] = 8;  // local header says deflated, the central directory says stored
  EXPECT_EQ(unzip(bytes).status, UnzipStatus::DamagedArchive);
}

// ---- hostile and unsupported archives: refused before anything is written ----

struct Refused {
  const char* what;
  std::vector<ZipEntry> entries;
  UnzipStatus expected;
};

void PrintTo(const Refused& c, std::ostream* out) { *out << c.what; }

ZipEntry named(std::string name) { return fileEntry(std::move(name), "evil"); }
ZipEntry withFlags(ZipEntry e, uint16_t flags) {
  e.flags = flags;
  return e;
}
ZipEntry withMode(ZipEntry e, uint32_t mode) {
  e.externalAttributes = mode << 16;
  return e;
}
ZipEntry withMethod(ZipEntry e, uint16_t method) {
  e.method = method;
  return e;
}

class RefusedArchiveTest : public ZipExtractorTest, public testing::WithParamInterface<Refused> {};

TEST_P(RefusedArchiveTest, NothingIsWritten) {
  const Refused& p = GetParam();
  fs::create_directories(temp.file("sub"));
  target = temp.file("sub/out");
  std::vector<ZipEntry> entries = {fileEntry("innocent.txt", "first entry, fine")};
  entries.insert(entries.end(), p.entries.begin(), p.entries.end());
  UnzipResult r = unzip(entries);
  EXPECT_EQ(r.status, p.expected) << p.what << ": " << r.reason;
  EXPECT_FALSE(r.reason.empty());
  EXPECT_FALSE(fs::exists(target)) << p.what;
  EXPECT_EQ(tree(temp.path()), (std::vector<std::string>{"a.zip", "sub/"})) << p.what;
}

const UnzipStatus hostile = UnzipStatus::HostileName;
const UnzipStatus unsupported = UnzipStatus::UnsupportedEntry;

INSTANTIATE_TEST_SUITE_P(
    Names, RefusedArchiveTest,
    testing::Values(
        Refused{"parent", {named("../evil.txt")}, hostile},
        Refused{"parent inside", {named("a/../../evil.txt")}, hostile},
        Refused{"backslash parent", {named("a\\..\\..\\evil.txt")}, hostile},
        Refused{"mixed separators", {named("a/..\\..\\evil.txt")}, hostile},
        Refused{"bare parent", {named("..")}, hostile},
        Refused{"dot", {named("./evil.txt")}, hostile},
        Refused{"dot inside", {named("a/./evil.txt")}, hostile},
        Refused{"absolute", {named("/tmp/evil.txt")}, hostile},
        Refused{"absolute backslash", {named("\\evil.txt")}, hostile},
        Refused{"UNC", {named("\\\\server\\share\\evil.txt")}, hostile},
        Refused{"drive relative", {named("C:evil.txt")}, hostile},
        Refused{"drive absolute", {named("c:\\evil.txt")}, hostile},
        Refused{"colon stream", {named("file.txt:stream")}, hostile},
        Refused{"empty name", {named("")}, hostile},
        Refused{"empty component", {named("a//evil.txt")}, hostile},
        Refused{"NUL byte", {named(std::string("ok.txt\0/../../evil", 18))}, hostile},
        Refused{"control byte", {named("a\x01.txt")}, hostile},
        Refused{"CON", {named("CON")}, hostile},
        Refused{"con with extension", {named("dir/con.txt")}, hostile},
        Refused{"NUL folder", {named("nul/x.txt")}, hostile},
        Refused{"Aux mixed case", {named("Aux.tar.gz")}, hostile},
        Refused{"PRN", {named("prn")}, hostile},
        Refused{"COM1", {named("com1.log")}, hostile},
        Refused{"COM9", {named("COM9")}, hostile},
        Refused{"LPT1", {named("x/Lpt1")}, hostile},
        Refused{"device with blank", {named("CON .txt")}, hostile},
        Refused{"trailing dot", {named("evil.")}, hostile},
        Refused{"trailing dot folder", {named("dir./x.txt")}, hostile},
        Refused{"trailing space", {named("evil ")}, hostile},
        Refused{"short name alias", {named("longfilename.txt"), named("LONGFI~1.TXT")}, hostile},
        Refused{"short name folder", {named("PROGRA~1/x.dll")}, hostile},
        Refused{"Windows-invalid character", {named("a?b.txt")}, hostile},
        Refused{"pipe", {named("a|b")}, hostile},
        Refused{"invalid GBK", {named("bad\x81")}, hostile},
        Refused{"invalid UTF-8", {withFlags(named("bad\xC3\x28"), 0x0800)}, hostile},
        Refused{"UTF-8 beyond GBK", {withFlags(named(u8text(u8"smile\U0001F600")), 0x0800)}, hostile},
        Refused{"same name ignoring case", {named("Readme.TXT"), named("README.txt")}, hostile},
        Refused{"same name twice", {named("innocent.txt")}, hostile},
        Refused{"same folder ignoring case", {folderEntry("dir/"), folderEntry("DIR/")}, hostile},
        Refused{"full-width letters ignoring case", {named("\xA3\xC1.txt"), named("\xA3\xE1.txt")}, hostile},
        Refused{"file then folder", {named("thing"), named("thing/inside.txt")}, hostile},
        Refused{"folder then file", {named("Thing/inside.txt"), named("thing")}, hostile},
        Refused{"folder entry then file", {folderEntry("thing/"), named("THING")}, hostile}));

INSTANTIATE_TEST_SUITE_P(
    Entries, RefusedArchiveTest,
    testing::Values(
        Refused{"bzip2", {withMethod(named("x.bz"), 12)}, unsupported},
        Refused{"AES", {withMethod(named("x.aes"), 99)}, unsupported},
        Refused{"implode", {withMethod(named("x.old"), 6)}, unsupported},
        Refused{"encrypted flag", {withFlags(named("secret.txt"), 0x0001)}, unsupported},
        Refused{"strong encryption flag", {withFlags(named("secret.txt"), 0x0041)}, unsupported},
        Refused{"symbolic link", {withMode(named("link"), 0120777)}, unsupported},
        Refused{"symbolic link to parent", {withMode(fileEntry("up", "../../.."), 0120777)}, unsupported},
        Refused{"FIFO", {withMode(named("fifo"), 0010644)}, unsupported},
        Refused{"device", {withMode(named("dev"), 0020644)}, unsupported},
        Refused{"folder with contents", {withMode(named("dir"), 040755)}, UnzipStatus::DamagedArchive}));

TEST_F(ZipExtractorTest, LimitsRefuseBeforeWriting) {
  platform::ZipLimits limits;
  limits.maxEntries = 3;
  std::vector<ZipEntry> four = {named("1"), named("2"), named("3"), named("4")};
  EXPECT_EQ(unzip(buildZip(four), limits).status, UnzipStatus::LimitExceeded);

  limits = {};
  limits.maxTotalSize = 10000;
  EXPECT_EQ(unzip(buildZip({fileEntry("a", std::string(6000, 'a')), fileEntry("b", std::string(6000, 'b'))}), limits).status,
            UnzipStatus::LimitExceeded);

  // 2 MiB of one byte deflates about 1000 : 1; a declared 1 GiB behind 2 KiB far more.
  limits = {};
  limits.maxRatio = 100;
  EXPECT_EQ(unzip(buildZip({fileEntry("zeros", std::string(2 << 20, '\0'))}), limits).status,
            UnzipStatus::LimitExceeded);
  ZipEntry bomb = fileEntry("bomb", std::string(2000, 'x'));
  bomb.declaredSize = 1u << 30;
  EXPECT_EQ(unzip(buildZip({bomb})).status, UnzipStatus::LimitExceeded);

  ZipEntry huge = fileEntry("huge", "x");
  huge.zip64 = true;
  huge.declaredSize = 5ull << 30;
  huge.declaredCompressedSize = 1;
  // With a 64-bit long minizip 1.1 does not read ZIP64 extra fields (see Zip64ExtraFields).
  EXPECT_EQ(unzip(buildZip({huge})).status, sizeof(long) == 4 ? UnzipStatus::LimitExceeded : UnzipStatus::DamagedArchive);
  EXPECT_FALSE(fs::exists(target));
}

TEST_F(ZipExtractorTest, LinksAlreadyInTheTargetAreNotFollowed) {
  fs::create_directories(target);
  fs::create_directories(temp.file("elsewhere"));
  writeFile(temp.file("elsewhere/victim.txt"), "untouched");
  ASSERT_EQ(symlink(temp.file("elsewhere").c_str(), (target + "/dir").c_str()), 0);
  ASSERT_EQ(symlink(temp.file("elsewhere/victim.txt").c_str(), (target + "/file.txt").c_str()), 0);

  EXPECT_EQ(unzip({fileEntry("dir/victim.txt", "overwritten")}).status, UnzipStatus::CannotWrite);
  EXPECT_EQ(unzip({fileEntry("file.txt", "overwritten")}).status, UnzipStatus::CannotWrite);
  EXPECT_EQ(readFile(temp.file("elsewhere/victim.txt")), "untouched");
  EXPECT_EQ(tree(temp.file("elsewhere")), std::vector<std::string>{"victim.txt"});
}

TEST_F(ZipExtractorTest, TargetWhoseParentIsMissingFails) {
  target = temp.file("missing/out");
  EXPECT_EQ(unzip({named("x")}).status, UnzipStatus::CannotWrite);
}

} // namespace
