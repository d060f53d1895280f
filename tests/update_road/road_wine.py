"""What the update road's Wine runs add to winetest: the service host content
they serve, a copy of the installed product under a folder with a blank, and
xdotool looks at top-level X windows (the popup has no title to find it by)."""
import os
import shutil
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


def shot(display, name):
    path = display.screenshot(os.path.join(SHOTS, name + ".png"))
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
