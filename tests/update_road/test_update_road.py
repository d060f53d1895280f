"""The road of one update under Wine: 检查更新 in a navigator installed under a
folder with a blank, the updater fetching and installing 1.18, the navigator
started again."""
import os
import shutil
import subprocess
import tempfile
import unittest

from road_wine import (Display, make_release_zip, manifest, navigator_exe, request_count, service_port_lock,
                       updater_exe, write, SERVICE_PORT)
from winetest import ServiceHost, WinePrefix, wait_for

NOTES = "修复下载#HHF新增公告"


class UpdateRoad(unittest.TestCase):
    def test_check_download_install_restart(self):
        for exe in (navigator_exe(), updater_exe()):
            self.assertTrue(os.path.exists(exe), "not installed: " + exe)
        with tempfile.TemporaryDirectory() as root, service_port_lock():
            write(root, "gx/banben.html", "欢迎使用")
            write(root, "gx/gg.xml", manifest(版本号="0"))
            write(root, "gx/update.xml", manifest(
                版本号="1.18", 下载地址="http://127.0.0.1:%d/rel/velmora-1.18.zip" % SERVICE_PORT,
                文件标题="Velmora器1.18", 文件名="velmora-1.18.zip", 升级说明=NOTES))
            with open(navigator_exe(), "rb") as f:
                navigator_bytes = f.read()
            os.makedirs(os.path.join(root, "rel"))
            make_release_zip(os.path.join(root, "rel", "velmora-1.18.zip"),
                             {"Velmora器.exe": navigator_bytes, "新版说明.txt": "1.18".encode("gbk")})
            with ServiceHost(root, port=SERVICE_PORT) as host, WinePrefix() as wine, Display() as display:
                self.walk(host, wine, display)

    def walk(self, host, wine, display):
        folder = os.path.join(wine.drive_c, "Program Files", "Velmora")
        shutil.copytree(os.path.dirname(navigator_exe()), folder)
        env = display.env(wine.env)
        navigator = subprocess.Popen(["wine", wine.windows_path(os.path.join(folder, "Velmora器.exe"))],
                                     env=env, cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            main = display.wait_window("Velmora工具", 90)
            wait_for(lambda: request_count(host, "/gx/banben.html") >= 1, 30, what="the banner request")
            display.screenshot("1-navigator")
            x, y, _, _ = display.geometry(main)
            display.click(x + 93 + 20, y + 373 + 9)  # 检查更新
            box = display.wait_window("信息：", 30)
            self.assertEqual(request_count(host, "/gx/update.xml"), 1)
            display.screenshot("2-new-release-box")
            display.key(box, "Return")
            self.assertEqual(navigator.wait(timeout=30), 0, "the navigator ends with 0 after the hand-off")

            display.wait_window("Velmora升级管理器", 60)
            display.screenshot("3-updater")
            wait_for(lambda: request_count(host, "/rel/velmora-1.18.zip") >= 1, 60, what="the download")
            installed = os.path.join(folder, "新版说明.txt")
            wait_for(lambda: os.path.exists(installed), 120, what="the installed release file")
            wait_for(lambda: request_count(host, "/gx/banben.html") >= 2, 90, what="the restarted navigator's banner")
            again = display.wait_window("Velmora工具", 60)
            display.screenshot("4-navigator-again")
            wait_for(lambda: not display.windows("Velmora升级管理器"), 30, what="the updater's end")
            self.assertFalse(os.path.exists(os.path.join(folder, "main_update", "temp1.zip")))
            self.assertFalse(os.path.exists(os.path.join(folder, "main_update", "e_update")))
            with open(os.path.join(folder, "Velmora器.exe"), "rb") as f:
                self.assertEqual(len(f.read()), os.path.getsize(navigator_exe()))

            # The restarted navigator ends with its close picture button.
            x, y, _, _ = display.geometry(again)
            display.click(x + 420 + 21, y + 4 + 8)
            wait_for(lambda: not display.windows("Velmora工具"), 30, what="the restarted navigator's end")
            display.screenshot("5-all-ended")
            log = host.log()
            self.assertIn("GET /gx/update.xml HTTP/1.0", log)
        finally:
            if navigator.poll() is None:
                navigator.kill()
            subprocess.run(["wineserver", "-k"], env=wine.env, timeout=60)


if __name__ == "__main__":
    unittest.main()
