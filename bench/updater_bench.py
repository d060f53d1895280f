#!/usr/bin/env python3
"""Updater benchmark: a 100 MB release from an unlimited local service host,
installed by the real update.exe under Wine, timed from the start to the
relaunch of the navigator and split into download, unpack and copy; beside
it velmora-download.exe (the facility alone, 5 connections) under Wine on
the same file in the same run. The ratio of the updater's download phase to
the facility alone is the cost of the row and log updates.

    bench/updater_bench.py BUILD_ROOT [--repeat N]

BUILD_ROOT holds dist/ (or $VELMORA_DIST), win32/bin/velmora-download.exe (or
$VELMORA_WIN32_BUILD/bin) and host/bin/velmora-service-host (or
$VELMORA_HOST_BIN). Data is made under BUILD_ROOT/bench-data/updater.
"""
import os
import statistics
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
RELEASE_FILES = 10
FILE_SIZE = 10 * 1000 * 1000
WARM_UP_S = 1.0  # the updater's fixed 1000 x 1 ms before it reads its arguments
TARGET = 1.5


def configure(build):
    os.environ.setdefault("VELMORA_BUILD_ROOT", build)
    os.environ.setdefault("VELMORA_DIST", os.path.join(build, "dist"))
    os.environ.setdefault("VELMORA_WIN32_BUILD", os.path.join(build, "win32"))
    os.environ.setdefault("VELMORA_HOST_BIN", os.path.join(build, "host", "bin"))
    sys.path[:0] = [os.path.join(HERE, "..", "tests", "e2e"), os.path.join(HERE, "..", "tests", "updater")]


def make_release(path):
    names = ["part%02d.bin" % i for i in range(RELEASE_FILES)]
    if os.path.exists(path):
        return names
    block = os.urandom(1 << 20)
    with zipfile.ZipFile(path + ".tmp", "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
        for i, name in enumerate(names):
            data = bytearray()
            counter = 0
            while len(data) < FILE_SIZE:
                data += (i * 1000 + counter).to_bytes(8, "little") + block[8:]
                counter += 1
            z.writestr(name, bytes(data[:FILE_SIZE]))
    os.rename(path + ".tmp", path)
    return names


def time_updater(updater_wine, winetest, host, names):
    """Seconds from the start to: archive complete, first installed file, relaunch."""
    with winetest.WinePrefix() as wine, winetest.Display() as display:
        install = updater_wine.Installation(wine)
        archive = os.path.join(install.root, "main_update", "main_update", "temp1.zip")
        firsts = [os.path.join(install.root, n) for n in names]
        started = time.monotonic()
        proc = install.start(display, install.launch_arguments(host.url("/release.zip")))
        marks = {}
        try:
            deadline = started + 600
            while time.monotonic() < deadline:
                now = time.monotonic() - started
                if "download" not in marks and os.path.exists(archive):
                    marks["download"] = now
                if "unpack" not in marks and any(os.path.exists(f) for f in firsts):
                    marks["unpack"] = now
                    marks.setdefault("download", now)
                if os.path.exists(install.marker):
                    marks["relaunch"] = now
                    break
                if proc.poll() is not None and "relaunch" not in marks and not os.path.exists(install.marker):
                    if time.monotonic() - started > 5 and proc.returncode is not None:
                        # The stand-in may still be on its way; give it a moment.
                        time.sleep(0.2)
                        if not os.path.exists(install.marker):
                            break
                time.sleep(0.005)
            code = updater_wine.wait_for_exit(proc, 60)
        finally:
            proc.kill()
        complete = all(os.path.exists(f) and os.path.getsize(f) == FILE_SIZE for f in firsts)
        if code != 0 or not complete or "relaunch" not in marks:
            return None
        return marks


def time_facility(winetest, host):
    with winetest.WinePrefix() as wine:
        exe = winetest.win32_exe("velmora-download.exe")
        started = time.monotonic()
        result = wine.run([exe, "--threads", "5", host.url("/release.zip"), "C:\\release.zip"], timeout=600)
        wall = time.monotonic() - started
        ok = result.returncode == 0 and os.path.exists(os.path.join(wine.drive_c, "release.zip"))
        return wall if ok else None


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    repeat = int(sys.argv[sys.argv.index("--repeat") + 1]) if "--repeat" in sys.argv else 1
    configure(build)
    import updater_wine
    import winetest

    data = os.path.join(build, "bench-data", "updater")
    os.makedirs(data, exist_ok=True)
    names = make_release(os.path.join(data, "release.zip"))
    size = os.path.getsize(os.path.join(data, "release.zip"))

    updater_runs, facility_runs = [], []
    with winetest.ServiceHost(data) as host:
        for _ in range(repeat):
            # Interleaved, so slow phases of the machine hit both alike.
            updater_runs.append(time_updater(updater_wine, winetest, host, names))
            facility_runs.append(time_facility(winetest, host))

    print(f"updater under Wine, {size / 1e6:.0f} MB release, unlimited, median of {repeat}:")
    good = [r for r in updater_runs if r]
    facility = [w for w in facility_runs if w]
    if not good or not facility:
        print("  failed" + ("" if good else " (updater)") + ("" if facility else " (velmora-download.exe)"))
        print("targets missed")
        return 0
    download = statistics.median(r["download"] for r in good)
    unpack = statistics.median(r["unpack"] - r["download"] for r in good)
    copy = statistics.median(r["relaunch"] - r["unpack"] for r in good)
    total = statistics.median(r["relaunch"] for r in good)
    alone = statistics.median(facility)
    print(f"  start to relaunch        {total:7.2f} s")
    print(f"    download               {download:7.2f} s   (Wine start and the {WARM_UP_S:g} s warm-up included)")
    print(f"    unpack                 {unpack:7.2f} s")
    print(f"    copy and relaunch      {copy:7.2f} s")
    print(f"  velmora-download.exe     {alone:7.2f} s   (Wine start included)")
    ratio = (download - WARM_UP_S) / alone
    print(f"  ratio updater download / facility alone {ratio:5.2f}   (warm-up left out; "
          f"{download / alone:.2f} with it; target <= {TARGET:g})")
    print("targets met" if ratio <= TARGET else "targets missed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
