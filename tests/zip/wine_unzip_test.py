"""The Windows build of velmora-unzip under Wine.

Chinese names in the archive (GBK with the UTF-8 flag clear, as Windows tools
write them, and UTF-8 with the flag set), Chinese characters in the archive's
and the target folder's paths, ZIP64 records: everything must go through
wide paths, whatever the ANSI code page.
"""
import os
import sys
import unittest
import zipfile

import winetest

EXE = winetest.win32_exe("velmora-unzip.exe")


class GbkInfo(zipfile.ZipInfo):
    """An entry whose name goes into the headers as GBK, UTF-8 flag clear."""

    def _encodeFilenameFlags(self):
        return self.filename.encode("gbk"), self.flag_bits & ~0x800


def add(archive, name, data, gbk=False):
    info = GbkInfo(name) if gbk else zipfile.ZipInfo(name)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = (0o40755 << 16) | 0x10 if name.endswith("/") else 0o100644 << 16
    archive.writestr(info, data)


class WineUnzipTest(unittest.TestCase):
    def setUp(self):
        self.prefix = winetest.WinePrefix()
        self.folder = os.path.join(self.prefix.drive_c, "测试目录")
        os.makedirs(self.folder)

    def tearDown(self):
        self.prefix.close()

    def unzip(self, archive, target):
        done = self.prefix.run([EXE, self.prefix.windows_path(archive), self.prefix.windows_path(target)])
        return done.returncode, done.stdout.decode("gbk", "replace") + done.stderr.decode("gbk", "replace")

    def test_chinese_names_and_zip64(self):
        archive = os.path.join(self.folder, "更新包.zip")
        big = bytes(range(256)) * 4000
        # zipfile writes ZIP64 extra fields and end records once a size or an
        # offset passes ZIP64_LIMIT; lowering it gives them with small files.
        saved = zipfile.ZIP64_LIMIT
        zipfile.ZIP64_LIMIT = 1000
        try:
            with zipfile.ZipFile(archive, "w") as z:
                add(z, "Velmora.txt", b"top level\r\n")
                add(z, "中文目录/", b"", gbk=True)
                add(z, "中文目录/說明誠.txt", big, gbk=True)   # 誠 is 0xD5 0x5C in GBK
                add(z, "中文目录/子目录/数据.bin", b"\x00\x01" * 3000, gbk=True)
                add(z, "UTF8名称/文件.txt", "UTF-8 标记".encode("utf-8"))
        finally:
            zipfile.ZIP64_LIMIT = saved
        with open(archive, "rb") as f:
            raw = f.read()
        self.assertIn(b"PK\x06\x06", raw, "the archive has no ZIP64 end record")
        self.assertIn("說明誠".encode("gbk"), raw)

        target = os.path.join(self.folder, "解压目标")
        status, output = self.unzip(archive, target)
        self.assertEqual(status, 0, output)

        def read(*parts):
            with open(os.path.join(target, *parts), "rb") as f:
                return f.read()

        self.assertEqual(read("Velmora.txt"), b"top level\r\n")
        self.assertEqual(read("中文目录", "說明誠.txt"), big)
        self.assertEqual(read("中文目录", "子目录", "数据.bin"), b"\x00\x01" * 3000)
        self.assertEqual(read("UTF8名称", "文件.txt"), "UTF-8 标记".encode("utf-8"))
        found = sorted(os.path.relpath(os.path.join(d, n), target)
                       for d, dirs, files in os.walk(target) for n in dirs + files)
        self.assertEqual(found, sorted(["Velmora.txt", "中文目录", "中文目录/說明誠.txt", "中文目录/子目录",
                                        "中文目录/子目录/数据.bin", "UTF8名称", "UTF8名称/文件.txt"]))

    def test_hostile_archive_fails_and_writes_nothing(self):
        archive = os.path.join(self.folder, "坏包.zip")
        with zipfile.ZipFile(archive, "w") as z:
            add(z, "正常.txt", b"fine")
            add(z, "目录\\..\\..\\逃逸.txt", b"escaped", gbk=True)
        target = os.path.join(self.folder, "解压目标")
        status, output = self.unzip(archive, target)
        self.assertNotEqual(status, 0, output)
        self.assertEqual(sorted(os.listdir(self.folder)), ["坏包.zip"])
        self.assertFalse(os.path.exists(os.path.join(self.prefix.drive_c, "逃逸.txt")))


if __name__ == "__main__":
    if not os.path.exists(EXE):
        sys.exit(EXE + " is missing: build the win32 tree first")
    unittest.main()
