"""Runs a Windows test program of the GUI runtime under Wine with a shown
window and passes when it reports "ok"; the program checks itself:
    edit_burst.exe   bursts of appends into an edit box from another thread,
                     reads through the runtime and around it, keys typed while
                     lines still wait;
    call_stream.exe  calls to the GUI thread streaming from several threads, in
                     order and waited for, the timer and posted feedback served
                     meanwhile, calls let through while a call waits inside.

    test_gui_program_wine.py PROGRAM.exe
"""
import os
import subprocess
import sys

import winetest


def main():
    exe = winetest.win32_exe(sys.argv[1])
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
