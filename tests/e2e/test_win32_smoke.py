"""The cross-built HTTP reader and XML reader work under Wine."""
import os
import tempfile
import unittest

from winetest import ServiceHost, WinePrefix, win32_exe

MANIFEST = ('<?xml version="1.0" encoding="gb2312"?>\r\n'
            '<最新版本><版本信息 版本号="1.18" 文件标题="Velmora器"/></最新版本>\r\n').encode("gbk")


class Win32Smoke(unittest.TestCase):
    def test_fetches_and_reads_a_gbk_manifest(self):
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(root, "gx"))
            with open(os.path.join(root, "gx", "update.xml"), "wb") as f:
                f.write(MANIFEST)
            with ServiceHost(root) as host, WinePrefix() as wine:
                result = wine.run([win32_exe("win32_smoke.exe"), host.url("/gx/update.xml")])
                out = result.stdout.decode("latin-1").replace("\r\n", "\n")
                self.assertEqual(result.returncode, 0, out)
                self.assertIn("version=1.18\n", out)
                self.assertIn("title=" + "Velmora器".encode("utf-8").hex() + "\n", out)
                self.assertIn("GET /gx/update.xml HTTP/1.0", host.log())


if __name__ == "__main__":
    unittest.main()
