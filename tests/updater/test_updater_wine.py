"""update.exe under Wine, end to end: a release from the service host is
installed into a folder whose path holds a blank and the navigator is
started again; a broken release or download leaves the install untouched;
a wrong launch shows the launch error."""
import math
import os
import subprocess
import tempfile
import time
import unittest

from updater_wine import (INSTALL_FOLDER, STANDARD_RELEASE, TITLE, Installation, dump, noise, release_zip,
                          screenshot, wait_for_exit)
from winetest import Display, ServiceHost, WinePrefix, use_cjk_font, wait_for, win32_exe


def size_text(size):
    """The row's size: thousands of bytes to two places, trailing zeros dropped."""
    return "%.13gK" % (math.floor(size / 1000 * 100 + 1e-12 + 0.5) / 100)


class UpdaterRun(unittest.TestCase):
    def setUp(self):
        self.served = tempfile.TemporaryDirectory()
        self.wine = WinePrefix()
        self.display = Display()
        self.install = Installation(self.wine)

    def tearDown(self):
        self.display.close()
        self.wine.close()
        self.served.cleanup()

    def serve(self, entries=None, raw=None):
        path = os.path.join(self.served.name, "release.zip")
        if raw is not None:
            with open(path, "wb") as f:
                f.write(raw)
        else:
            release_zip(path, entries)
        self.archive_size = os.path.getsize(path)
        return path

    def run_update(self, host, while_running=None):
        proc = self.install.start(self.display, self.install.launch_arguments(host.url("/release.zip")))
        try:
            if while_running:
                while_running()
            return wait_for_exit(proc, 180)
        finally:
            proc.kill()

    def assert_cleaned_up_and_relaunched(self):
        run = self.install.root
        self.assertFalse(os.path.exists(os.path.join(run, "main_update", "main_update", "temp1.zip")))
        self.assertFalse(os.path.exists(os.path.join(run, "main_update", "e_update")))
        self.assertFalse(os.path.exists(os.path.join(run, "main_update", "e_backup")))
        line = wait_for(self.install.relaunched_with, 30, what="the stand-in navigator to run")
        # Quoted, so the blank in the folder does not split the program path.
        self.assertEqual(line, '"C:\\Velmora Tools\\main_update\\..\\Velmora器.exe"')

    def test_release_is_installed_and_the_navigator_started(self):
        self.serve(STANDARD_RELEASE)
        before = self.install.files()
        shots = []

        def watch_the_window():
            # While it downloads: the row shows the task and the bar, the log
            # holds the set-up line and the transfer lines.
            def downloading(tree):
                texts = [n["text"] for n in tree if n["visible"]]
                return "Velmora器" in texts and any(t.endswith("KB/s") for t in texts)
            tree = wait_for(lambda: (lambda t: t if t and downloading(t) else None)(
                dump(self.wine, self.display, "downloading")), 60, interval=0.3, what="the row while downloading")
            texts = [n["text"] for n in tree]
            for header in ("任务名称", "任务大小", "下载进度", "下载速度", "相关操作"):
                self.assertIn(header, texts)
            self.assertIn(size_text(self.archive_size), texts, "the archive's size in thousands of bytes")
            edits = [n for n in tree if n["class"].lower() == "edit"]
            self.assertEqual(len(edits), 1)
            self.assertTrue(edits[0]["text"].startswith("执行下载任务1"), edits[0]["text"][:80])
            self.assertIn(" #传送常量.收到数据\r\n", edits[0]["text"])
            self.assertEqual(tree[0]["text"], TITLE)
            shots.append(screenshot(self.display, "downloading-1"))
            # Taller, so the log box below the task panel comes into view.
            window = self.display.find_windows(TITLE)[0]
            self.display.xdotool("windowsize", window, 550, 330)
            time.sleep(1.0)
            shots.append(screenshot(self.display, "downloading-2-taller"))

        # 5 connections x 50 kB/s: about six seconds for the 1.5 MB release.
        with ServiceHost(self.served.name, ["--rate", "50000"]) as host:
            code = self.run_update(host, watch_the_window)
            log = host.log()
        self.assertEqual(code, 0)
        self.assertIn("GET /release.zip", log)
        self.assertEqual(len(shots), 2)
        self.assert_cleaned_up_and_relaunched()
        after = self.install.files()
        for name, data in STANDARD_RELEASE.items():
            self.assertEqual(after.get(name), data, name)
        self.assertEqual(after["only-old.txt"], b"stays\r\n", "files only in the install folder remain")
        self.assertEqual(after["main_update/update.exe"], before["main_update/update.exe"])

    def assert_update_changes_nothing(self, switches=()):
        """A run against the service host ends with 0, cleans up, starts the
        navigator and leaves the install folder as it was."""
        before = self.install.files()
        with ServiceHost(self.served.name, list(switches)) as host:
            self.assertEqual(self.run_update(host), 0)
        self.assert_install_unchanged(before)

    def assert_install_unchanged(self, before):
        self.assert_cleaned_up_and_relaunched()
        self.assertEqual(self.install.files(), before)
        strays = [os.path.join(d, n) for d, _, names in os.walk(self.wine.drive_c)
                  for n in names if n == "escaped.txt"]
        self.assertEqual(strays, [], "nothing is written outside the install folder")

    def test_truncated_archive_changes_nothing(self):
        whole = self.serve(STANDARD_RELEASE)
        with open(whole, "rb") as f:
            data = f.read()
        self.serve(raw=data[: len(data) * 2 // 3])
        self.assert_update_changes_nothing()

    def test_connection_dropped_for_good_changes_nothing(self):
        self.serve(STANDARD_RELEASE)
        self.assert_update_changes_nothing(["--close-after", "100000", "--ignore-range", "--only", "/release.zip"])

    def test_entry_climbing_out_changes_nothing(self):
        self.serve({"readme.txt": b"new readme\r\n", "data/big.bin": noise(200_000),
                    "../escaped.txt": b"out of the install folder"})
        self.assert_update_changes_nothing()

    def test_file_in_use_keeps_the_old_version_whole(self):
        # Another program holds an installed file and lets no one replace or
        # rename it: whatever was copied before it is put back.
        self.serve(STANDARD_RELEASE)
        ready = os.path.join(self.wine.drive_c, "hold-ready")
        release = os.path.join(self.wine.drive_c, "hold-release")
        use_cjk_font(self.wine)  # it waits for every program of the prefix to end: first
        holder = subprocess.Popen(["wine", win32_exe("hold_file.exe"), "C:\\%s\\data\\site.txt" % INSTALL_FOLDER,
                                   "C:\\hold-ready", "C:\\hold-release"],
                                  env=self.display.env(self.wine.env),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wait_for(lambda: os.path.exists(ready), 60, what="the file held")
            self.assert_update_changes_nothing()
        finally:
            open(release, "wb").close()
            self.assertEqual(wait_for_exit(holder, 60), 0)


class LaunchError(unittest.TestCase):
    def setUp(self):
        self.wine = WinePrefix()
        self.display = Display()
        self.install = Installation(self.wine)

    def tearDown(self):
        self.display.close()
        self.wine.close()

    def answer_the_box(self, arguments, shot):
        proc = self.install.start(self.display, arguments)
        try:
            box = wait_for(lambda: self.display.find_windows("信息："), 60, what="the launch error box")[0]
            tree = wait_for(lambda: dump(self.wine, self.display, shot, "信息："), 30, what="the box's tree")
            self.assertIn("程序调用参数错误！", [n["text"] for n in tree])
            time.sleep(0.5)
            screenshot(self.display, shot)
            self.assertIsNone(proc.poll(), "the program waits for the answer")
            self.display.xdotool("key", "--window", box, "Return")
            self.assertEqual(wait_for_exit(proc, 60), 0)
        finally:
            proc.kill()
        self.assertIsNone(self.install.relaunched_with())
        self.assertFalse(os.path.exists(os.path.join(self.install.root, "main_update", "main_update")))

    def test_no_arguments(self):
        self.answer_the_box([], "launch-error-no-arguments")

    def test_wrong_token(self):
        arguments = self.install.launch_arguments("http://127.0.0.1:9/release.zip")
        arguments[0] = "Kqzmhost_launcher"
        self.answer_the_box(arguments, "launch-error-wrong-token")


if __name__ == "__main__":
    unittest.main()
