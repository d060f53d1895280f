"""What the update road's Wine tests need beyond winetest: a virtual display,
windows found by title, clicks and keys by xdotool, screenshots as artifacts."""
import contextlib
import fcntl
import os
import subprocess
import time
import zipfile

from winetest import BUILD_ROOT, DIST, ServiceHost, wait_for

SHOTS = os.path.join(BUILD_ROOT, "screenshots", "update_road")
# The navigator's service host is compiled in; tests serve it on that port.
SERVICE_PORT = 18930


class Display:
    """Xvfb on a free display number, stopped afterwards."""

    def __init__(self, width=1024, height=768):
        self.width, self.height = width, height
        for number in range(140, 200):
            if not os.path.exists("/tmp/.X11-unix/X%d" % number) and not os.path.exists("/tmp/.X%d-lock" % number):
                break
        self.name = ":%d" % number
        self.proc = subprocess.Popen(["Xvfb", self.name, "-screen", "0", "%dx%dx24" % (width, height), "-nolisten", "tcp"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: os.path.exists("/tmp/.X11-unix/X%d" % number), 20, what="Xvfb " + self.name)

    def env(self, base):
        env = dict(base)
        env["DISPLAY"] = self.name
        return env

    def xdotool(self, *args, check=True):
        r = subprocess.run(["xdotool"] + [str(a) for a in args], env={**os.environ, "DISPLAY": self.name},
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=30)
        if check and r.returncode != 0:
            return None
        return r.stdout.decode("utf-8", "replace").strip()

    def windows(self, title):
        """Visible top-level windows whose name is exactly `title`."""
        out = self.xdotool("search", "--onlyvisible", "--name", "^%s$" % title)
        return [int(w) for w in out.split()] if out else []

    def wait_window(self, title, timeout=60):
        return wait_for(lambda: (self.windows(title) or [None])[0], timeout, interval=0.25, what="window " + title)

    def geometry(self, window):
        out = self.xdotool("getwindowgeometry", "--shell", window) or ""
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def click(self, x, y):
        self.xdotool("mousemove", "--sync", x, y)
        time.sleep(0.2)  # let the program see the pointer arrive before the press
        self.xdotool("click", "1")

    def key(self, window, key):
        self.xdotool("windowactivate", "--sync", window, check=False)
        self.xdotool("windowfocus", "--sync", window, check=False)
        self.xdotool("key", "--window", window, key)

    def screenshot(self, name):
        os.makedirs(SHOTS, exist_ok=True)
        path = os.path.join(SHOTS, name + ".png")
        xwd = subprocess.run(["xwd", "-root", "-silent", "-display", self.name], stdout=subprocess.PIPE, timeout=30)
        subprocess.run(["convert", "xwd:-", path], input=xwd.stdout, timeout=60, check=True)
        return path

    def close(self):
        self.proc.kill()
        self.proc.wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


@contextlib.contextmanager
def service_port_lock():
    """One test at a time on the compiled-in service host port."""
    os.makedirs(BUILD_ROOT, exist_ok=True)
    with open(os.path.join(BUILD_ROOT, "service-port-%d.lock" % SERVICE_PORT), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        yield


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


def make_release_zip(path, files):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in files.items():
            z.writestr(name, data)


def request_count(host, path):
    return sum(1 for line in host.log().splitlines() if line.startswith("GET %s " % path))
