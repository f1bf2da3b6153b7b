"""Runs Debian's orca with its debug file written line by line. Orca opens
the file with Python's default block buffering, so what it says shows only
when it exits; the screen reader test reads the file while orca runs (to see
that it is listening, and what it spoke). Usage: orca_lines.py ORCA-ARGS..."""
import builtins
import runpy
import sys

_open = builtins.open


def _line_buffered(file, mode="r", *args, **kwargs):
    if "w" in mode and "b" not in mode and not args and "buffering" not in kwargs:
        kwargs["buffering"] = 1
    return _open(file, mode, *args, **kwargs)


builtins.open = _line_buffered
sys.argv = ["/usr/bin/orca"] + sys.argv[1:]
runpy.run_path("/usr/bin/orca", run_name="__main__")
