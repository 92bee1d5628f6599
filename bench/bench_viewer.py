#!/usr/bin/env python3
"""CPU of the viewer's window playing a recording in real time, against ffplay.

Under one Xvfb display, plays the generated 1080p front + 360p rear recording in the viewer's
normal window (front and rear areas, and once more with the map in the small area), and, over
the same span of the same recording, two ffplay windows showing the front at 640x360 and the
rear at 320x180. Each run measures the CPU seconds the program (with its child processes, such
as the map's browser) spends per second of playback after a short settling time. The runs are
interleaved, so a load that comes and goes on the machine falls on all of them alike; medians
are reported, and the viewer's figures as a ratio to the ffplay pair.

usage: bench/bench_viewer.py [--runs N] [--seconds S] [--viewer PATH ...] [--no-map]
  --viewer may be given more than once (say, the viewer before and after a change); every
  viewer is measured in every run. Default: build/release/app/tarvex-viewer.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
TICKS = os.sysconf("SC_CLK_TCK")

SETTLE_S = 3.0           # after playback starts, before measuring
WINDOW_TIMEOUT_S = 60.0   # a loaded machine may take this long to show the window
ROW0 = (700, 100)        # the first row of the recording list, in window coordinates
MAP_SMALL = (890, 258)   # the "map small" check button


def cpu_seconds(root_pid):
    """CPU time of a process and all its descendants still running."""
    parents = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            parents[int(entry)] = (int(fields[1]), int(fields[11]) + int(fields[12]))
        except (OSError, IndexError, ValueError):
            continue
    tree, total, changed = {root_pid}, 0, True
    while changed:
        changed = False
        for pid, (ppid, _) in parents.items():
            if ppid in tree and pid not in tree:
                tree.add(pid)
                changed = True
    for pid in tree:
        if pid in parents:
            total += parents[pid][1]
    return total / TICKS


def measure(pids, seconds):
    before = sum(cpu_seconds(p) for p in pids)
    start = time.monotonic()
    time.sleep(seconds)
    after = sum(cpu_seconds(p) for p in pids)
    return (after - before) / (time.monotonic() - start)


def stop(processes):
    for p in processes:
        if p.poll() is None:
            p.terminate()
    for p in processes:
        try:
            p.wait(timeout=10)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()


def xdotool(env, *args):
    return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True,
                          timeout=WINDOW_TIMEOUT_S).stdout.strip()


def screenshot(env, path):
    if path and shutil.which("import"):
        subprocess.run(["import", "-window", "root", path], env=env, timeout=WINDOW_TIMEOUT_S,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def run_viewer(viewer, card, env, seconds, with_map, shot=None):
    workdir = tempfile.mkdtemp(prefix="bench-viewer-")
    process = subprocess.Popen([viewer, card], env=env, cwd=workdir,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window = ""
        deadline = time.monotonic() + WINDOW_TIMEOUT_S
        while not window and time.monotonic() < deadline:
            time.sleep(0.3)
            window = xdotool(env, "search", "--onlyvisible", "--name", "Tarvex").split("\n")[0]
        if not window:
            raise RuntimeError("the viewer's window did not appear")
        time.sleep(1.0)
        xdotool(env, "mousemove", "--window", window, *map(str, ROW0), "click", "--repeat", "2",
                "--delay", "80", "1")
        time.sleep(1.0)
        if with_map:
            xdotool(env, "mousemove", "--window", window, *map(str, MAP_SMALL), "click", "1")
        time.sleep(SETTLE_S)
        if process.poll() is not None:
            raise RuntimeError("the viewer ended early")
        cpu = measure([process.pid], seconds)
        screenshot(env, shot)
        return cpu
    finally:
        stop([process])
        shutil.rmtree(workdir, ignore_errors=True)


def run_ffplay(recording, env, seconds):
    common = ["ffplay", "-loglevel", "quiet", "-noborder", "-autoexit"]
    front = subprocess.Popen(common + ["-x", "640", "-y", "360", "-vst", "v:0", recording],
                             env=env, stdin=subprocess.DEVNULL)
    rear = subprocess.Popen(common + ["-x", "320", "-y", "180", "-left", "660", "-vst", "v:1",
                                      "-an", recording], env=env, stdin=subprocess.DEVNULL)
    try:
        time.sleep(SETTLE_S + 2.0)  # as long as the viewer's start and double-click
        return measure([front.pid, rear.pid], seconds)
    finally:
        stop([front, rear])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--seconds", type=float, default=12.0)
    parser.add_argument("--viewer", action="append")
    parser.add_argument("--tool", default=os.path.join(ROOT, "build/release/tools/tarvex-tool"))
    parser.add_argument("--no-map", action="store_true")
    parser.add_argument("--shots", help="folder for a screenshot at the end of each viewer run")
    args = parser.parse_args()
    viewers = [os.path.abspath(v) for v in args.viewer] if args.viewer else [
        os.path.join(ROOT, "build/release/app/tarvex-viewer")]
    for tool in ["ffplay", "xdotool", "Xvfb"]:
        if not shutil.which(tool):
            sys.exit(f"bench_viewer: {tool} is needed")

    data = tempfile.mkdtemp(prefix="bench-viewer-card-")
    card = os.path.join(data, "card")
    duration = int(args.seconds + SETTLE_S + 12)
    subprocess.run([args.tool, "make-card", card, "--driving", "1", "--duration", str(duration),
                    "--full-hd"], check=True, stdout=subprocess.DEVNULL)
    driving = os.path.join(card, "DRIVING")
    recording = os.path.join(driving, sorted(os.listdir(driving))[0])

    display = ":%d" % (90 + os.getpid() % 400)
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1920x1080x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy", LANG="en_US.UTF-8",
               QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu")
    env.pop("WAYLAND_DISPLAY", None)
    env.pop("QT_QPA_PLATFORM", None)
    time.sleep(1.0)

    cases = [(v, False) for v in viewers] + ([] if args.no_map else [(v, True) for v in viewers])
    results = {case: [] for case in cases}
    reference = []
    try:
        for run in range(args.runs):
            for case in cases:
                shot = None
                if args.shots:
                    os.makedirs(args.shots, exist_ok=True)
                    shot = os.path.join(args.shots, f"run{run + 1}-viewer{viewers.index(case[0])}"
                                        f"{'-map' if case[1] else ''}.png")
                results[case].append(run_viewer(case[0], card, env, args.seconds, case[1], shot))
            reference.append(run_ffplay(recording, env, args.seconds))
            print(f"run {run + 1}/{args.runs}: ffplay pair {reference[-1]:.3f}, " +
                  ", ".join(f"{os.path.relpath(v, ROOT)}{' +map' if m else ''} "
                            f"{results[(v, m)][-1]:.3f}" for v, m in cases), flush=True)
    finally:
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(data, ignore_errors=True)

    ffplay = statistics.median(reference)
    print(f"\nCPU seconds per second of playback, medians of {args.runs} interleaved runs of "
          f"{args.seconds:g} s (1080p front + 360p rear):")
    print(f"  ffplay 640x360 + 320x180       {ffplay:.3f}")
    for v, m in cases:
        ratios = [r / f for r, f in zip(results[(v, m)], reference) if f > 0]
        name = os.path.relpath(v, ROOT) + (" with the map" if m else "")
        print(f"  {name:30s} {statistics.median(results[(v, m)]):.3f}   "
              f"ratio to ffplay {statistics.median(ratios):.2f} (goal <= 0.35)")


if __name__ == "__main__":
    main()
