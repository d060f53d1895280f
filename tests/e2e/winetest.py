"""Helpers for tests that run our Windows programs under Wine.

A Wine prefix template is made once per build tree with wineboot and copied
for each test, so every test starts from a clean, quiet Windows.
"""
import contextlib
import fcntl
import os
import re
import select
import shutil
import subprocess
import tempfile
import time

BUILD_ROOT = os.environ.get("VELMORA_BUILD_ROOT", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
WIN32_BUILD = os.environ.get("VELMORA_WIN32_BUILD", os.path.join(BUILD_ROOT, "win32"))
DIST = os.environ.get("VELMORA_DIST", os.path.join(BUILD_ROOT, "dist"))
HOST_BIN = os.environ.get("VELMORA_HOST_BIN", os.path.join(BUILD_ROOT, "host", "bin"))
TEMPLATE = os.path.join(BUILD_ROOT, "wine-template")


def quiet_env(prefix):
    """Environment for a quiet, non-interactive Wine in `prefix`."""
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": prefix,
        "WINEARCH": "win32",
        "WINEDEBUG": "-all",
        # No Mono or Gecko installer dialogs.
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "LANG": "C.UTF-8",
    })
    env.pop("DISPLAY", None)
    return env


def ensure_template():
    """Makes the prefix template once; concurrent tests wait for each other."""
    os.makedirs(BUILD_ROOT, exist_ok=True)
    with open(TEMPLATE + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.path.exists(os.path.join(TEMPLATE, "system.reg")):
            return TEMPLATE
        shutil.rmtree(TEMPLATE, ignore_errors=True)
        env = quiet_env(TEMPLATE)
        subprocess.run(["wineboot", "-i"], env=env, check=True, timeout=300,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=env, timeout=120)
        if not os.path.exists(os.path.join(TEMPLATE, "system.reg")):
            raise RuntimeError("wineboot made no prefix")
    return TEMPLATE


class WinePrefix:
    """A fresh copy of the template for one test, removed afterwards."""

    def __init__(self):
        template = ensure_template()
        self.root = tempfile.mkdtemp(prefix="velmora-wine-")
        self.path = os.path.join(self.root, "prefix")
        shutil.copytree(template, self.path, symlinks=True)
        self.env = quiet_env(self.path)
        self.drive_c = os.path.join(self.path, "drive_c")

    def windows_path(self, unix_path):
        """C:\\... form of a path inside drive_c."""
        rel = os.path.relpath(unix_path, self.drive_c)
        if rel.startswith(".."):
            raise ValueError(unix_path + " is not inside drive_c")
        return "C:\\" + rel.replace("/", "\\")

    def run(self, args, timeout=120, **kwargs):
        """Runs a program to its end; returns the CompletedProcess (bytes)."""
        return subprocess.run(["wine"] + list(args), env=self.env, timeout=timeout,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kwargs)

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(self.root, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class ServiceHost:
    """The service host on 127.0.0.1 with an ephemeral port (or a given one)."""

    def __init__(self, root, switches=(), port=0):
        # The programs have their service host compiled in, so tests that serve
        # that fixed port take turns, across build trees too.
        self.port_lock = None
        if port:
            self.port_lock = open("/tmp/velmora-service-port-%d.lock" % port, "w")
            fcntl.flock(self.port_lock, fcntl.LOCK_EX)
        self.log_file = tempfile.mktemp(prefix="velmora-host-", suffix=".log")
        exe = os.path.join(HOST_BIN, "velmora-service-host")
        self.proc = subprocess.Popen([exe, "--root", root, "--port", str(port), "--log", self.log_file]
                                     + list(switches), stdout=subprocess.PIPE)
        line = self.proc.stdout.readline().decode()
        m = re.match(r"listening ([\d.]+):(\d+)", line)
        if not m:
            self.proc.kill()
            self._release_port()
            raise RuntimeError("service host did not start: " + line)
        self.port = int(m.group(2))
        self.host_port = "127.0.0.1:%d" % self.port

    def url(self, path):
        return "http://%s%s" % (self.host_port, path)

    def log(self):
        with contextlib.suppress(FileNotFoundError):
            with open(self.log_file, "rb") as f:
                return f.read().decode("latin-1")
        return ""

    def _release_port(self):
        if self.port_lock:
            self.port_lock.close()  # closing drops the lock
            self.port_lock = None

    def close(self):
        self.proc.kill()
        self.proc.wait()
        self._release_port()
        with contextlib.suppress(FileNotFoundError):
            os.remove(self.log_file)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def wait_for(condition, timeout, interval=0.1, what="condition"):
    """Polls `condition` until it is true or `timeout` seconds have passed."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(interval)
    raise AssertionError("timed out after %ss waiting for %s" % (timeout, what))


def win32_exe(name):
    """A program of the Windows build tree."""
    return os.path.join(WIN32_BUILD, "bin", name)


# ---------------------------------------------------------------- GUI runs

import json


class Display:
    """Xvfb on a free display number, stopped when the test ends."""

    def __init__(self, width=1024, height=768):
        self.width, self.height = width, height
        # Xvfb picks the free number itself (-displayfd), so tests started at
        # the same moment, in this or another build tree, never race for one.
        for attempt in range(3):
            read_end, write_end = os.pipe()
            self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                          "%dx%dx24" % (width, height), "-nolisten", "tcp"],
                                         pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                                         stderr=subprocess.DEVNULL)
            os.close(write_end)
            number = b""
            with os.fdopen(read_end, "rb") as pipe:
                ready = select.select([pipe], [], [], 30)[0]
                if ready:
                    number = pipe.readline().strip()
            if number.isdigit() and self.proc.poll() is None:
                self.name = ":" + number.decode()
                return
            self.proc.kill()
            self.proc.wait()
        raise RuntimeError("Xvfb did not start")

    def env(self, base):
        env = dict(base)
        env["DISPLAY"] = self.name
        return env

    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env(os.environ),
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=30)

    def find_windows(self, title):
        r = self.xdotool("search", "--name", "^%s$" % re.escape(title))
        return [int(w) for w in r.stdout.split()]

    def screenshot(self, path):
        """The whole screen as PNG at `path` (xwd, then ImageMagick)."""
        os.makedirs(os.path.dirname(path), exist_ok=True)
        xwd = subprocess.run(["xwd", "-root", "-silent", "-display", self.name],
                             stdout=subprocess.PIPE, timeout=60, check=True)
        subprocess.run(["convert", "xwd:-", path], input=xwd.stdout, timeout=60, check=True)
        return path

    def close(self):
        # SIGTERM lets Xvfb remove its lock and socket; a killed one leaves them.
        self.proc.terminate()
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


CJK_FONT = "WenQuanYi Micro Hei"
CJK_REG = r"""REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"MS Shell Dlg"="{font}"
"MS Shell Dlg 2"="{font}"
"Tahoma"="{font}"
"SimSun"="{font}"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]
"Tahoma"="wqy-microhei.ttc,{font}"
"""


def use_cjk_font(prefix):
    """Draws the dialog fonts with the CJK font (fonts-wqy-microhei), so that
    Chinese captions show as text instead of empty boxes."""
    if getattr(prefix, "cjk_font", False):
        return
    reg = os.path.join(prefix.root, "cjk.reg")
    with open(reg, "w") as f:
        f.write(CJK_REG.format(font=CJK_FONT))
    subprocess.run(["wine", "regedit", "/S", reg], env=prefix.env, timeout=120,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=prefix.env, timeout=120)
    prefix.cjk_font = True


class GuiRun:
    """A Windows program running under Wine on a Display, in a WinePrefix."""

    def __init__(self, prefix, display, args, cwd=None):
        self.prefix, self.display = prefix, display
        use_cjk_font(prefix)
        env = display.env(prefix.env)
        self.proc = subprocess.Popen(["wine"] + list(args), env=env, cwd=cwd,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def wait_exit(self, timeout):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("program did not end within %ss" % timeout)

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def inspect(prefix, display, title):
    """The inspector's window tree of the window titled `title`: a list of
    dicts (depth, class, text, left, top, width, height, visible), or None."""
    exe = win32_exe("velmora-inspector.exe")
    r = subprocess.run(["wine", exe, title], env=display.env(prefix.env), timeout=60,
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    if r.returncode != 0:
        return None
    return [json.loads(line) for line in r.stdout.decode("utf-8").splitlines() if line.startswith("{")]


def wait_window(prefix, display, title, timeout=60, condition=None):
    """Waits until the window exists (and `condition(tree)` holds); the tree."""
    def ready():
        tree = inspect(prefix, display, title)
        if tree and (condition is None or condition(tree)):
            return tree
        return None
    return wait_for(ready, timeout, interval=0.5, what="window " + title)


def artifact(name):
    """Where a test keeps its screenshots: inside the build tree."""
    folder = os.path.join(BUILD_ROOT, "e2e-artifacts")
    os.makedirs(folder, exist_ok=True)
    return os.path.join(folder, name)
