"""The announcement popup under Wine: with version 2 it rises about 10 s after
start to 190 px above the screen bottom, 250 px left of its right edge, draws
its back picture, and a click on its close area hides it."""
import os
import re
import subprocess
import sys
import tempfile
import time

import winetest
from road_wine import (MAIN_TITLE, SERVICE_PORT, click, install_copy, manifest, navigator_exe, popup,
                       request_count, shot, shown_windows, wait_shown, write)
from winetest import wait_for

WIDTH, HEIGHT = 1024, 768
BACK_PICTURE = os.path.join(os.path.dirname(__file__), "..", "..", "navigator", "resources", "popup_back.bmp")
# Places of the back picture that no control covers: the title strip left of
# the close area, the close mark, the strip below the page and the home link.
PICTURE_SPOTS = [(100, 10), (203, 3), (60, 148), (190, 145)]


def bmp_pixel(path, x, y):
    """(r, g, b) of a 24-bit bottom-up BMP."""
    with open(path, "rb") as f:
        data = f.read()
    offset = int.from_bytes(data[10:14], "little")
    width = int.from_bytes(data[18:22], "little")
    height = int.from_bytes(data[22:26], "little")
    stride = (width * 3 + 3) & ~3
    at = offset + (height - 1 - y) * stride + x * 3
    b, g, r = data[at:at + 3]
    return r, g, b


def screen_pixel(png, x, y):
    out = subprocess.run(["convert", png, "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "txt:-"],
                                  stdout=subprocess.PIPE, timeout=60, check=True).stdout.decode()
    # "0,0: (r,g,b)  #RRGGBB  srgb(...)" below a header line
    hexpart = re.search(r"\s#([0-9A-Fa-f]{6})\b", out).group(1)
    return tuple(int(hexpart[i:i + 2], 16) for i in (0, 2, 4))


def near(a, b, slack=24):
    return all(abs(p - q) <= slack for p, q in zip(a, b))


def at_shown_place(display):
    found = popup(display)
    return found if found and found[1][1] == HEIGHT - 190 else None


def check(host, prefix, display):
    wait_shown(display, MAIN_TITLE, 90)
    started = time.monotonic()
    wait_for(lambda: request_count(host, "/gx/gg.xml") >= 1, 30, what="the first announcement poll")
    polled = time.monotonic() - started
    assert 6 < polled < 16, "the first poll comes about 10 s after start, not after %.1f s" % polled
    window, (x, y, w, h) = wait_for(lambda: at_shown_place(display), 30, interval=0.1,
                                    what="the popup at its shown place")
    risen = time.monotonic() - started
    assert (x, y, w, h) == (WIDTH - 250, HEIGHT - 190, 243, 164), (x, y, w, h)
    assert risen - polled < 6, "the rise takes about 1.3 s after the poll, not %.1f s" % (risen - polled)
    # It stays at the top: the wait there lasts 100 s.
    time.sleep(1.0)
    assert at_shown_place(display), "the popup left its place during the wait"
    png = shot(display, "popup-1-risen", window)
    for px, py in PICTURE_SPOTS:
        want, got = bmp_pixel(BACK_PICTURE, px, py), screen_pixel(png, x + px, y + py)
        assert near(want, got), "back picture at (%d, %d): screen %r, picture %r" % (px, py, got, want)
    # The key-colour corners are cut out: the screen behind shows there.
    corner = screen_pixel(png, x + 1, y + 1)
    assert bmp_pixel(BACK_PICTURE, 1, 1) == (255, 0, 255) and not near(corner, (255, 0, 255)), corner

    click(display, x + 200 + 16, y + 8)  # the close area, 透明标签3
    wait_for(lambda: not popup(display), 10, what="the popup hidden")
    shot(display, "popup-2-closed")
    assert shown_windows(display, MAIN_TITLE), "the main window stays"


def main():
    assert os.path.exists(navigator_exe()), "not installed: " + navigator_exe()
    with tempfile.TemporaryDirectory() as root:
        write(root, "gx/banben.html", "公告测试")
        write(root, "gx/gg.xml", manifest(版本号="2"))
        write(root, "gx/gg2.html", "<html><body>公告</body></html>")
        with winetest.ServiceHost(root, port=SERVICE_PORT) as host, winetest.WinePrefix() as prefix, \
                winetest.Display(WIDTH, HEIGHT) as display:
            exe = install_copy(prefix, "Velmora")
            run = winetest.GuiRun(prefix, display, [prefix.windows_path(exe)], cwd=os.path.dirname(exe))
            try:
                check(host, prefix, display)
            finally:
                run.kill()
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
