"""Calls to the GUI thread under Wine, with a shown window: streams from
several threads in order and waited for, the timer and posted feedback served
while they stream, and calls let through while a call waits inside; the
program checks and reports by its exit code."""
import os
import subprocess
import sys

import winetest


def main():
    exe = winetest.win32_exe("call_stream.exe")
    assert os.path.exists(exe), exe + " missing: build the win32 tree first"
    with winetest.WinePrefix() as prefix, winetest.Display() as display:
        result = subprocess.run(["wine", exe], env=display.env(prefix.env), timeout=300,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    out = result.stdout.decode(errors="replace").strip()
    print(out)
    assert result.returncode == 0 and out.startswith("ok"), "exit %d: %s" % (result.returncode, out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
