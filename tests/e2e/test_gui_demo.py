"""The GUI runtime's Win32 test program under Wine: the window tree matches
its control table, the worker thread's appends arrive through the
synchronous path, the screenshot shows the Chinese texts, and Esc ends it."""
import os
import sys

import winetest

TITLE = "运行时演示窗口"

# (class, text, left, top, width, height, visible) of the table's controls.
EXPECTED = [
    ("VelmoraChild", "任务名称", 10, 10, 124, 19, True),
    ("VelmoraChild", "升级包.zip", 10, 34, 124, 19, True),
    ("msctls_progress32", "", 140, 10, 124, 19, True),
    ("VelmoraChild", "", 300, 200, 48, 16, False),
]
LOG = "".join("第%d行：下载开始\r\n" % i for i in range(1, 6))


def main():
    exe = winetest.win32_exe("gui_demo.exe")
    assert os.path.exists(exe), exe + " missing: build the win32 tree first"
    with winetest.WinePrefix() as prefix, winetest.Display() as display:
        run = winetest.GuiRun(prefix, display, [exe])
        try:
            tree = winetest.wait_window(prefix, display, TITLE, timeout=90,
                                        condition=lambda t: any(n["text"] == "下载结束" for n in t))
            top, children = tree[0], tree[1:]
            assert top["text"] == TITLE, top
            assert (top["width"], top["height"]) == (420, 300), top
            assert top["left"] == (display.width - 420) // 2 and top["top"] == (display.height - 300) // 2, top
            rows = [(n["class"], n["text"], n["left"], n["top"], n["width"], n["height"], n["visible"])
                    for n in children]
            for row in EXPECTED:
                assert row in rows, "missing %r in %r" % (row, rows)
            edit = [n for n in children if n["class"].lower() == "edit"]
            assert len(edit) == 1 and edit[0]["text"] == LOG, edit
            assert (edit[0]["left"], edit[0]["top"], edit[0]["width"], edit[0]["height"]) == (10, 60, 380, 150)
            status = [n for n in children if n["class"] == "msctls_statusbar32"]
            assert len(status) == 1, rows
            # Docked at the bottom over the full client width, not at the table's place.
            assert status[0]["left"] == 0 and status[0]["top"] + status[0]["height"] > 240, status
            shot = display.screenshot(winetest.artifact("gui_demo.png"))
            print("screenshot:", shot)

            windows = display.find_windows(TITLE)
            assert windows, "no X window titled " + TITLE
            display.xdotool("windowactivate", "--sync", windows[0])
            display.xdotool("windowfocus", "--sync", windows[0])
            display.xdotool("key", "--window", windows[0], "Escape")
            code = run.wait_exit(60)
            assert code == 0, "exit code %d" % code
        finally:
            run.kill()
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
