"""The Windows build of velmora-download under Wine against the service host."""
import os
import tempfile
import unittest

from winetest import ServiceHost, WinePrefix, win32_exe


class WineDownload(unittest.TestCase):
    def test_five_connections_give_the_file_and_a_missing_one_fails(self):
        data = os.urandom(3 * 1024 * 1024 + 5)
        with tempfile.TemporaryDirectory() as root:
            with open(os.path.join(root, "temp1.zip"), "wb") as f:
                f.write(data)
            with ServiceHost(root) as host, WinePrefix() as wine:
                folder = os.path.join(wine.drive_c, "main_update")
                os.makedirs(folder)
                target = os.path.join(folder, "temp1.zip")
                result = wine.run([win32_exe("velmora-download.exe"), "--threads", "5",
                                   host.url("/temp1.zip"), wine.windows_path(target)], timeout=300)
                out = result.stdout.decode("latin-1").replace("\r\n", "\n")
                self.assertEqual(result.returncode, 0, out[-2000:])
                with open(target, "rb") as f:
                    self.assertEqual(f.read(), data)
                self.assertFalse(os.path.exists(target + ".part"))
                lines = out.strip().split("\n")
                self.assertTrue(lines[-1].startswith("event 4 1 0 0 "), lines[-1])
                self.assertEqual(sum(1 for l in lines if l.startswith("event 8 ")), 5)
                self.assertGreaterEqual(host.log().count("Range: bytes="), 5)

                missing = os.path.join(folder, "missing.zip")
                result = wine.run([win32_exe("velmora-download.exe"), host.url("/missing.zip"),
                                   wine.windows_path(missing)], timeout=300)
                self.assertEqual(result.returncode, 1)
                self.assertFalse(os.path.exists(missing))
                self.assertFalse(os.path.exists(missing + ".part"))


if __name__ == "__main__":
    unittest.main()
