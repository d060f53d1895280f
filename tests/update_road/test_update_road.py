"""The road of one update under Wine: 检查更新 in a navigator installed under a
folder with a blank, the new-release box, the updater fetching and installing
1.18, its temporary files gone, the navigator started again; every program
ends with exit code 0. Screenshots of each stage."""
import os
import subprocess
import sys
import tempfile
import threading

import winetest
from road_wine import (BOX_TITLE, MAIN_TITLE, SERVICE_PORT, UPDATER_TITLE, click_in, install_copy, make_release_zip,
                       manifest, navigator_exe, press_key, request_count, shot, shown_windows, updater_exe,
                       wait_shown, write)
from winetest import wait_for

NOTES = "修复下载#HHF新增公告"
RELEASE_NOTE = "新版说明.txt"
# The release's navigator: the installed one with bytes appended after the
# image, which Windows ignores, so the installed copy can be told apart.
RELEASE_MARK = b"\0velmora release 1.18\0"


class ExitWatch:
    """velmora-exit-watch in the prefix: the exit codes of the programs that
    the navigator and the updater start, which no parent here waits for."""

    def __init__(self, prefix, display, seconds, names):
        exe = winetest.win32_exe("velmora-exit-watch.exe")
        assert os.path.exists(exe), exe + " missing: build the win32 tree"
        self.lines = []
        self.proc = subprocess.Popen(["wine", exe, str(seconds)] + list(names), env=display.env(prefix.env),
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        threading.Thread(target=self._read, daemon=True).start()
        wait_for(lambda: "watching" in self.lines, 60, what="the exit watcher")

    def _read(self):
        for raw in self.proc.stdout:
            self.lines.append(raw.decode("utf-8", "replace").strip())

    def exits(self, name):
        """Exit codes of the ended processes of that name, in order."""
        return [int(line.split()[3]) for line in list(self.lines) if line.startswith("exit %s " % name)]

    def starts(self, name):
        return [line for line in list(self.lines) if line.startswith("start %s " % name)]

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def serve(root):
    write(root, "gx/banben.html", "欢迎使用")
    write(root, "gx/gg.xml", manifest(版本号="0"))
    write(root, "gx/update.xml", manifest(
        版本号="1.18", 下载地址="http://127.0.0.1:%d/rel/velmora-1.18.zip" % SERVICE_PORT,
        文件标题="Velmora器1.18", 文件名="velmora-1.18.zip", 升级说明=NOTES))
    with open(navigator_exe(), "rb") as f:
        release_navigator = f.read() + RELEASE_MARK
    os.makedirs(os.path.join(root, "rel"))
    make_release_zip(os.path.join(root, "rel", "velmora-1.18.zip"),
                     {"Velmora器.exe": release_navigator, RELEASE_NOTE: "1.18".encode("gbk")})
    return release_navigator


def box_text(prefix, display):
    tree = winetest.inspect(prefix, display, BOX_TITLE) or []
    return [n["text"] for n in tree if n["depth"] > 0 and n["text"]]


def updater_log(prefix, display):
    tree = winetest.inspect(prefix, display, UPDATER_TITLE) or []
    edits = [n["text"] for n in tree if n["class"].lower() == "edit"]
    return edits[0] if edits else ""


def walk(host, prefix, display, release_navigator):
    exe = install_copy(prefix, "Program Files", "Velmora")
    folder = os.path.dirname(exe)
    main_update = os.path.join(folder, "main_update")
    winetest.use_cjk_font(prefix)  # first: it waits for every program of the prefix to end
    watch = ExitWatch(prefix, display, 600, ["update.exe", "Velmora器.exe"])
    navigator = winetest.GuiRun(prefix, display, [prefix.windows_path(exe)], cwd=folder)
    try:
        main = wait_shown(display, MAIN_TITLE, 90)
        wait_for(lambda: request_count(host, "/gx/banben.html") >= 1, 30, what="the banner request")
        wait_for(lambda: any(n["text"] == "欢迎使用" for n in winetest.inspect(prefix, display, MAIN_TITLE) or []),
                 30, interval=0.5, what="the banner shown")
        shot(display, "road-1-navigator", main)

        click_in(display, main, 93 + 23, 373 + 9)  # 检查更新
        box = wait_shown(display, BOX_TITLE, 30)
        assert request_count(host, "/gx/update.xml") == 1, host.log()
        texts = wait_for(lambda: box_text(prefix, display), 30, interval=0.5, what="the box's text")
        want = "发现有新的版本(1.18)可以更新，本次更新了如下内容：\r\n修复下载\r\n新增公告"
        assert want in texts, texts
        shot(display, "road-2-new-release-box", box)
        assert not shown_windows(display, UPDATER_TITLE), "the updater waits for the box's OK"

        press_key(display, box, "Return")
        code = navigator.wait_exit(60)
        assert code == 0, "the navigator ends with %d after the hand-off" % code

        updater = wait_shown(display, UPDATER_TITLE, 60)
        wait_for(lambda: request_count(host, "/rel/velmora-1.18.zip") >= 1, 60, what="the release download")
        wait_for(lambda: updater_log(prefix, display), 30, interval=0.3, what="a line in the updater's log")
        shot(display, "road-3-updater", updater, timeout=3)
        installed_note = os.path.join(folder, RELEASE_NOTE)
        wait_for(lambda: os.path.exists(installed_note), 120, what="the release installed")
        wait_for(lambda: request_count(host, "/gx/banben.html") >= 2, 90,
                 what="the banner request of the navigator started again")
        again = wait_shown(display, MAIN_TITLE, 60)
        wait_for(lambda: watch.exits("update.exe"), 60, what="the updater's end")
        assert watch.exits("update.exe") == [0], watch.lines
        assert len(watch.starts("update.exe")) == 1, watch.lines
        shot(display, "road-4-navigator-again", again)

        with open(installed_note, "rb") as f:
            assert f.read() == b"1.18"
        with open(exe, "rb") as f:
            assert f.read() == release_navigator, "the release's navigator replaced the old one"
        assert not os.path.exists(os.path.join(main_update, "temp1.zip")), os.listdir(main_update)
        assert not os.path.exists(os.path.join(main_update, "e_update")), os.listdir(main_update)
        assert not os.path.exists(os.path.join(main_update, "e_backup")), os.listdir(main_update)
        assert os.path.exists(os.path.join(main_update, "update.exe"))
        assert request_count(host, "/gx/update.xml") == 1, "the navigator started again checks nothing by itself"

        # The navigator that the updater started ends with its close button.
        click_in(display, again, 420 + 21, 4 + 8)
        wait_for(lambda: len(watch.exits("Velmora器.exe")) >= 2, 60, what="the second navigator's end")
        assert watch.exits("Velmora器.exe") == [0, 0], watch.lines
        wait_for(lambda: not shown_windows(display, MAIN_TITLE), 30, what="no navigator window left")
        shot(display, "road-5-all-ended")
    finally:
        navigator.kill()
        watch.close()


def main():
    for exe in (navigator_exe(), updater_exe()):
        assert os.path.exists(exe), "not installed: " + exe
    with tempfile.TemporaryDirectory() as root:
        release_navigator = serve(root)
        # The release comes slowly enough (a few seconds) to see the updater at work.
        slow = ["--rate", "60000", "--only", "/rel/velmora-1.18.zip"]
        with winetest.ServiceHost(root, slow, port=SERVICE_PORT) as host, winetest.WinePrefix() as prefix, \
                winetest.Display() as display:
            walk(host, prefix, display, release_navigator)
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
