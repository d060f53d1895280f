"""update.exe under Wine, end to end: a release from the service host is
installed into a folder whose path holds a blank and the navigator is
started again; a broken release or download leaves the install untouched;
a wrong launch shows the launch error."""
import os
import tempfile
import time
import unittest

from updater_wine import (STANDARD_RELEASE, TITLE, Installation, VirtualDisplay, noise, release_zip,
                          wait_for_exit)
from winetest import ServiceHost, WinePrefix, wait_for


class UpdaterRun(unittest.TestCase):
    def setUp(self):
        self.served = tempfile.TemporaryDirectory()
        self.wine = WinePrefix()
        self.display = VirtualDisplay()
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
        line = wait_for(self.install.relaunched_with, 30, what="the stand-in navigator to run")
        # Quoted, so the blank in the folder does not split the program path.
        self.assertEqual(line, '"C:\\Velmora Tools\\main_update\\..\\Velmora器.exe"')

    def test_release_is_installed_and_the_navigator_started(self):
        self.serve(STANDARD_RELEASE)
        before = self.install.files()
        shots = []

        def watch_the_window():
            window = wait_for(lambda: self.display.windows_named(TITLE), 60, what="the updater window")[0]
            geometry = self.display.window_geometry(window)
            self.assertEqual(self.display.xdotool("getwindowname", window).stdout.decode().strip(), TITLE)
            # 550 x 132 outside; the client area is what X shows without a frame manager.
            self.assertLessEqual(int(geometry["WIDTH"]), 550)
            self.assertLessEqual(int(geometry["HEIGHT"]), 132)
            time.sleep(1.0)
            shots.append(self.display.screenshot("downloading-1"))
            # Taller, so the log box below the task panel comes into view.
            self.display.xdotool("windowsize", window, "550", "330")
            time.sleep(1.0)
            shots.append(self.display.screenshot("downloading-2-taller"))

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
        before = self.install.files()
        with ServiceHost(self.served.name) as host:
            self.assertEqual(self.run_update(host), 0)
        self.assert_install_unchanged(before)

    def test_connection_dropped_for_good_changes_nothing(self):
        self.serve(STANDARD_RELEASE)
        before = self.install.files()
        switches = ["--close-after", "100000", "--ignore-range", "--only", "/release.zip"]
        with ServiceHost(self.served.name, switches) as host:
            self.assertEqual(self.run_update(host), 0)
        self.assert_install_unchanged(before)

    def test_entry_climbing_out_changes_nothing(self):
        self.serve({"readme.txt": b"new readme\r\n", "data/big.bin": noise(200_000),
                    "../escaped.txt": b"out of the install folder"})
        before = self.install.files()
        with ServiceHost(self.served.name) as host:
            self.assertEqual(self.run_update(host), 0)
        self.assert_install_unchanged(before)


class LaunchError(unittest.TestCase):
    def setUp(self):
        self.wine = WinePrefix()
        self.display = VirtualDisplay()
        self.install = Installation(self.wine)

    def tearDown(self):
        self.display.close()
        self.wine.close()

    def answer_the_box(self, arguments, shot):
        proc = self.install.start(self.display, arguments)
        try:
            box = wait_for(lambda: self.display.windows_named("信息："), 60, what="the launch error box")[0]
            self.assertEqual(self.display.xdotool("getwindowname", box).stdout.decode().strip(), "信息：")
            time.sleep(0.5)
            self.display.screenshot(shot)
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
