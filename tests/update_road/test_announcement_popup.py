"""The announcement popup under Wine: with version 2 it rises about 10 s after
start to 190 px above the screen bottom, 250 px left of its right edge, and a
click on its close area hides it."""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from road_wine import Display, manifest, navigator_exe, request_count, service_port_lock, write
from winetest import ServiceHost, WinePrefix, wait_for

WIDTH, HEIGHT = 1024, 768


class AnnouncementPopup(unittest.TestCase):
    def test_rises_to_its_place_and_closes(self):
        self.assertTrue(os.path.exists(navigator_exe()), "not installed: " + navigator_exe())
        with tempfile.TemporaryDirectory() as root, service_port_lock():
            write(root, "gx/banben.html", "公告测试")
            write(root, "gx/gg.xml", manifest(版本号="2"))
            write(root, "gx/gg2.html", "<html><body>公告</body></html>")
            with ServiceHost(root, port=18930) as host, WinePrefix() as wine, Display(WIDTH, HEIGHT) as display:
                folder = os.path.dirname(navigator_exe())
                navigator = subprocess.Popen(["wine", wine.windows_path(self.copy_in(wine, folder))],
                                             env=display.env(wine.env), stdout=subprocess.DEVNULL,
                                             stderr=subprocess.DEVNULL)
                try:
                    self.check(host, display)
                finally:
                    navigator.kill()
                    subprocess.run(["wineserver", "-k"], env=wine.env, timeout=60)

    def copy_in(self, wine, folder):
        target = os.path.join(wine.drive_c, "Velmora")
        shutil.copytree(folder, target)
        return os.path.join(target, "Velmora器.exe")

    def popup_window(self, display):
        """The popup: a 243 x 164 top-level window without a name."""
        out = display.xdotool("search", "--onlyvisible", "--name", "^$") or ""
        for w in (int(x) for x in out.split()):
            geometry = display.geometry(w)
            if geometry[2:] == (243, 164):
                return w, geometry
        return None

    def check(self, host, display):
        display.wait_window("Velmora工具", 90)
        started = time.monotonic()
        wait_for(lambda: request_count(host, "/gx/gg.xml") >= 1, 30, what="the first announcement poll")
        polled = time.monotonic() - started
        self.assertTrue(6 < polled < 16, "the first poll comes about 10 s after start, not after %.1f s" % polled)
        found = wait_for(lambda: self.at_top(display), 30, interval=0.1, what="the popup at its shown place")
        risen = time.monotonic() - started
        display.screenshot("popup-1-risen")
        window, (x, y, w, h) = found
        self.assertEqual((x, y, w, h), (WIDTH - 250, HEIGHT - 190, 243, 164))
        self.assertLess(risen - polled, 6, "the rise takes about 1.3 s after the poll")
        # The page itself is not asked for: Wine here has no browser engine.
        display.click(x + 200 + 16, y + 8)  # the close area
        wait_for(lambda: not self.popup_window(display), 10, what="the popup hidden")
        display.screenshot("popup-2-closed")

    def at_top(self, display):
        found = self.popup_window(display)
        if found and found[1][1] == HEIGHT - 190:
            return found
        return None


if __name__ == "__main__":
    unittest.main()
