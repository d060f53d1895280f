"""What the update road's Wine runs add to winetest: the service host content
they serve, a copy of the installed product under a folder with a blank, and
xdotool looks at top-level X windows (the popup has no title to find it by)."""
import os
import shutil
import subprocess
import time
import zipfile

import winetest
from winetest import DIST, wait_for

SHOTS = os.path.join(winetest.BUILD_ROOT, "e2e-artifacts", "update_road")
# The navigator has its service host compiled in; tests serve that port.
SERVICE_PORT = 18930
MAIN_TITLE = "Velmora工具"
UPDATER_TITLE = "Velmora升级管理器"
BOX_TITLE = "信息："
POPUP_SIZE = (243, 164)


def write(root, path, data):
    full = os.path.join(root, *path.split("/"))
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("gbk"))
    return full


def manifest(**attributes):
    """An update or announcement manifest, GBK, attribute names in Chinese."""
    body = "".join(' %s="%s"' % (k, v) for k, v in attributes.items())
    return '<?xml version="1.0" encoding="gb2312"?>\r\n<最新版本><版本信息%s/></最新版本>\r\n' % body


def navigator_exe():
    return os.path.join(DIST, "Velmora器.exe")


def updater_exe():
    return os.path.join(DIST, "main_update", "update.exe")


def install_copy(prefix, *folder):
    """The installed product copied to drive_c/FOLDER...; the navigator's path."""
    target = os.path.join(prefix.drive_c, *folder)
    shutil.copytree(DIST, target)
    return os.path.join(target, "Velmora器.exe")


def make_release_zip(path, files):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in files.items():
            z.writestr(name, data)


def request_count(host, path):
    return sum(1 for line in host.log().splitlines() if line.startswith("GET %s " % path))


def _pixels(png, crop=None):
    args = ["convert", png] + (["-crop", "%dx%d+%d+%d" % (crop[2], crop[3], crop[0], crop[1])] if crop else [])
    return subprocess.run(args + ["-depth", "8", "rgb:-"], stdout=subprocess.PIPE, timeout=60, check=True).stdout


def _overlay(display, path, window):
    """Draws the window's own contents over the root capture: where a window
    has another depth than the root (the message boxes and the updater's
    window under Wine), the root's image holds no defined pixels for it."""
    g = geometry(display, window)
    if g is None:
        return None
    own = path + ".window.png"
    r = subprocess.run(["import", "-display", display.name, "-window", str(window), own],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    if r.returncode == 0:
        subprocess.run(["convert", path, own, "-geometry", "+%d+%d" % g[:2], "-composite", path],
                       timeout=60, check=True)
    if os.path.exists(own):
        os.remove(own)
    return g


def shot(display, name, window=None, timeout=15):
    """A screenshot once the screen has settled: two frames alike in a row and,
    with `window`, that window drawn (not the black of a window not yet
    painted). After `timeout` seconds the last frame is kept all the same."""
    path = os.path.join(SHOTS, name + ".png")
    deadline = time.monotonic() + timeout
    previous = None
    while True:
        display.screenshot(path)
        drawn = True
        if window is not None:
            g = _overlay(display, path, window)
            area = _pixels(path, g) if g else b""
            drawn = bool(area) and area.count(0) < len(area) * 0.5
        frame = _pixels(path)
        if (drawn and frame == previous) or time.monotonic() > deadline:
            break
        previous = frame
        time.sleep(0.3)
    print("screenshot:", path, flush=True)
    return path


def geometry(display, window):
    """(x, y, width, height) of an X window, or None once it is gone."""
    out = display.xdotool("getwindowgeometry", "--shell", window).stdout.decode()
    values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    if not {"X", "Y", "WIDTH", "HEIGHT"} <= values.keys():
        return None
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def shown_windows(display, title):
    """Mapped top-level X windows named exactly `title`."""
    pattern = "^$" if title == "" else "^%s$" % title
    out = display.xdotool("search", "--onlyvisible", "--name", pattern).stdout.split()
    return [int(w) for w in out]


def wait_shown(display, title, timeout):
    return wait_for(lambda: (shown_windows(display, title) or [None])[0], timeout, interval=0.25,
                    what="window " + title)


def popup(display):
    """The popup: a mapped, nameless top-level window of its size; (window, geometry)."""
    for w in shown_windows(display, ""):
        g = geometry(display, w)
        if g and g[2:] == POPUP_SIZE:
            return w, g
    return None


def click(display, x, y):
    display.xdotool("mousemove", "--sync", x, y)
    time.sleep(0.2)  # the pointer's arrival is seen before the press, as a user's would be
    display.xdotool("click", "1")


def click_in(display, window, x, y):
    """A click at (x, y) of a top-level window's client area."""
    g = geometry(display, window)
    if g is None:
        raise AssertionError("window %s is gone" % window)
    click(display, g[0] + x, g[1] + y)


def press_key(display, window, key):
    display.xdotool("windowactivate", "--sync", window)
    display.xdotool("windowfocus", "--sync", window)
    display.xdotool("key", "--window", window, key)
