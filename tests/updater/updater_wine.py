"""The real update.exe under Wine: an installed copy of the product under a
folder whose path holds a blank, a release ZIP on the service host, the
stand-in navigator, screenshots and inspector dumps of the window."""
import json
import os
import random
import shutil
import subprocess
import zipfile

from winetest import DIST, Display, artifact, inspect, use_cjk_font, win32_exe

ARTIFACTS = artifact("updater")
INSTALL_FOLDER = "Velmora Tools"  # the blank is the point
TITLE = "Velmora升级管理器"


def noise(size, seed=7):
    """Bytes deflate cannot shrink, so the archive is as large as its data."""
    return random.Random(seed).randbytes(size)


def release_zip(path, entries):
    """Writes a ZIP with Python's zipfile; `entries` maps names to bytes,
    a name ending in "/" is a folder."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries.items():
            info = zipfile.ZipInfo(name, date_time=(2024, 5, 1, 12, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = (0o40755 << 16) | 0x10 if name.endswith("/") else 0o100644 << 16
            z.writestr(info, b"" if name.endswith("/") else data)


STANDARD_RELEASE = {
    "readme.txt": b"new readme\r\n",
    "data/": b"",
    "data/site.txt": b"new site list\r\n",
    "data/pictures/a/b.bin": noise(1_500_000),
    "新文件.txt": "中文名的文件".encode("gbk"),
}


class Installation:
    """A copy of the installed product in C:\\Velmora Tools, with the
    stand-in navigator as Velmora器.exe and a few files of an old release."""

    OLD_FILES = {
        "readme.txt": b"old readme\r\n",
        "data/site.txt": b"old site list\r\n",
        "only-old.txt": b"stays\r\n",
    }

    def __init__(self, wine):
        self.wine = wine
        self.root = os.path.join(wine.drive_c, INSTALL_FOLDER)
        shutil.copytree(DIST, self.root)
        shutil.copy(win32_exe("updater_standin.exe"), os.path.join(self.root, "Velmora器.exe"))
        for name, data in self.OLD_FILES.items():
            self.put(name, data)
        self.updater_windows = "C:\\%s\\main_update\\update.exe" % INSTALL_FOLDER
        self.marker = os.path.join(self.root, "started.txt")

    def put(self, name, data):
        path = os.path.join(self.root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)

    def read(self, name):
        with open(os.path.join(self.root, name), "rb") as f:
            return f.read()

    def files(self):
        """Every file and folder of the install with its bytes, apart from
        the updater's own archive folder and the stand-in's marker."""
        found = {}
        for folder, dirs, names in os.walk(self.root):
            rel = os.path.relpath(folder, self.root).replace(os.sep, "/")
            if rel == "main_update/main_update":
                continue
            if rel != ".":
                found[rel + "/"] = b""
            for n in names:
                if rel == "." and n == "started.txt":
                    continue
                with open(os.path.join(folder, n), "rb") as f:
                    found[(n if rel == "." else rel + "/" + n)] = f.read()
        return found

    def start(self, display, arguments):
        """update.exe with these arguments after its program path (which
        Wine quotes, as it holds a blank)."""
        use_cjk_font(self.wine)
        return subprocess.Popen(["wine", self.updater_windows] + list(arguments),
                                env=display.env(self.wine.env),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def launch_arguments(self, url):
        return ["kqzmhost_launcher", url, "Velmora器", "run", "Velmora器.exe", "Velmora器_1.18.zip",
                "修正", "若干", "问题"]

    def relaunched_with(self):
        """The command line the stand-in got, or None when it never ran."""
        if not os.path.exists(self.marker):
            return None
        with open(self.marker, "rb") as f:
            return f.read().decode("utf-16-le")


def screenshot(display, name):
    return display.screenshot(os.path.join(ARTIFACTS, name + ".png"))


def dump(wine, display, name, title=TITLE):
    """The inspector's tree of the window, also kept beside the screenshots."""
    tree = inspect(wine, display, title)
    if tree is not None:
        os.makedirs(ARTIFACTS, exist_ok=True)
        with open(os.path.join(ARTIFACTS, name + ".json"), "w", encoding="utf-8") as f:
            for node in tree:
                f.write(json.dumps(node, ensure_ascii=False) + "\n")
    return tree


def wait_for_exit(proc, timeout):
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        raise AssertionError("update.exe did not end within %ss" % timeout)
