"""The edit box under Wine, shown on a display: bursts of appends from another
thread, reads through the runtime and around it, and keys typed while lines
still wait; the program checks the text and reports by its exit code."""
import os
import subprocess
import sys

import winetest


def main():
    exe = winetest.win32_exe("edit_burst.exe")
    assert os.path.exists(exe), exe + " missing: build the win32 tree first"
    with winetest.WinePrefix() as prefix, winetest.Display() as display:
        result = subprocess.run(["wine", exe], env=display.env(prefix.env), timeout=300,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    out = result.stdout.decode(errors="replace").strip()
    print(out)
    assert result.returncode == 0 and out.endswith("ok"), "exit %d: %s" % (result.returncode, out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
