#!/usr/bin/env python3
"""Runs `tarvex-tool package ... --progress` and appends its wall seconds to WHOLE and the
seconds of its composed clip (from that step's progress line to the next one's) to COMPOSED.

usage: package_steps.py WHOLE COMPOSED TOOL package ARGS...
"""
import subprocess
import sys
import time


def main():
    whole, composed, command = sys.argv[1], sys.argv[2], sys.argv[3:] + ["--progress"]
    start = time.monotonic()
    steps = []
    p = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    for line in p.stderr:
        steps.append((time.monotonic(), line.strip()))
    if p.wait() != 0:
        sys.exit("package failed: " + " ".join(s[1] for s in steps[-3:]))
    end = time.monotonic()
    names = [s[1] for s in steps]
    i = names.index("writing the composed clip")
    with open(whole, "a") as f:
        f.write("%.3f\n" % (end - start))
    with open(composed, "a") as f:
        f.write("%.3f\n" % (steps[i + 1][0] - steps[i][0]))


if __name__ == "__main__":
    main()
