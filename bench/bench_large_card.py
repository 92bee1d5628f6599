#!/usr/bin/env python3
"""How the viewer answers on a card of many recordings: MPRIS latency while the list fills.

Makes a card of N recordings (one small generated recording holding a G-sensor event, linked
under N names that follow the dashcam's pattern), starts the viewer on it in a private session
bus (offscreen, dummy sound), and reads MPRIS Position with dbus-send: once as soon as the
service answers, then every 100 ms for the seconds that follow, while the list is filled and
every recording's events are scanned in the background. Reported per viewer: when the first
answer came (from the start of the process), the slowest answer after it, and the CPU seconds
the viewer spent over the whole run. Goal: first answer within 5 s, none slower than 0.5 s.

usage: bench/bench_large_card.py [--recordings N] [--seconds S] [--runs N] [--viewer PATH ...]
  --viewer may be given more than once (say, the viewer before and after a change); the runs
  are interleaved. Default: build/release/app/tarvex-viewer, else build/debug/app/tarvex-viewer.
"""

import argparse
import datetime
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

SERVICE = "org.mpris.MediaPlayer2.tarvex"
START_TIMEOUT_S = 120.0   # a viewer that has not answered by then counts as failed
POLL_S = 0.1
CALL_TIMEOUT_MS = 30000


def default_build(name):
    for build in ("release", "debug"):
        path = os.path.join(ROOT, "build", build, name)
        if os.path.exists(path):
            return path
    return os.path.join(ROOT, "build", "release", name)


def make_card(tool, folder, count):
    one = os.path.join(folder, "one.AVI")
    subprocess.run([tool, "make-recording", one, "--duration", "2", "--calm", "--g-event", "b@1"],
                   check=True, stdout=subprocess.DEVNULL)
    card = os.path.join(folder, "card")
    driving = os.path.join(card, "DRIVING")
    os.makedirs(driving)
    start = datetime.datetime(2026, 3, 1, 8, 0, 0)
    for i in range(count):
        when = start + datetime.timedelta(minutes=i)
        os.link(one, os.path.join(driving, when.strftime("REC_%Y%m%d_%H%M%S_D.AVI")))
    return card


def cpu_seconds(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICKS
    except (OSError, IndexError, ValueError):
        return 0.0


def position_call(env):
    """(answered, seconds) of one Position read; a read that timed out counts its wait."""
    start = time.monotonic()
    result = subprocess.run(
        ["dbus-send", "--session", "--print-reply", f"--reply-timeout={CALL_TIMEOUT_MS}",
         f"--dest={SERVICE}", "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties.Get",
         "string:org.mpris.MediaPlayer2.Player", "string:Position"],
        env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return result.returncode == 0, time.monotonic() - start


def run_viewer(viewer, card, seconds):
    """Runs inside the private session bus: (first answer s, slowest answer s, CPU s)."""
    work = tempfile.mkdtemp(prefix="bench-large-card-")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", SDL_AUDIODRIVER="dummy",
               LANG="en_US.UTF-8", XDG_CONFIG_HOME=os.path.join(work, "xdg"))
    started = time.monotonic()
    process = subprocess.Popen([viewer, card], env=env, cwd=work, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        first = None
        while first is None and time.monotonic() - started < START_TIMEOUT_S:
            if position_call(env)[0]:
                first = time.monotonic() - started
            else:
                time.sleep(0.05)
        if first is None:
            raise RuntimeError("the viewer never answered")
        slowest = 0.0
        until = time.monotonic() + seconds
        while time.monotonic() < until:
            slowest = max(slowest, position_call(env)[1])
            time.sleep(POLL_S)
        return first, slowest, cpu_seconds(process.pid)
    finally:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        shutil.rmtree(work, ignore_errors=True)


def inner(args):
    for run in range(args.runs):
        for viewer in args.viewer:
            first, slowest, cpu = run_viewer(viewer, args.card, args.seconds)
            print(f"{run}\t{viewer}\t{first:.3f}\t{slowest:.3f}\t{cpu:.2f}", flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--recordings", type=int, default=10000)
    parser.add_argument("--seconds", type=float, default=12.0)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--viewer", action="append")
    parser.add_argument("--tool", default=default_build("tools/tarvex-tool"))
    parser.add_argument("--inner-card", dest="card", help=argparse.SUPPRESS)
    args = parser.parse_args()
    args.viewer = [os.path.abspath(v) for v in (args.viewer or
                                                [default_build("app/tarvex-viewer")])]
    if args.card:
        inner(args)
        return
    for tool in ("dbus-run-session", "dbus-send"):
        if not shutil.which(tool):
            sys.exit(f"bench_large_card: {tool} is needed")

    data = tempfile.mkdtemp(prefix="bench-large-card-data-")
    try:
        card = make_card(args.tool, data, args.recordings)
        command = ["dbus-run-session", "--", sys.executable, os.path.abspath(__file__),
                   "--inner-card", card, "--runs", str(args.runs), "--seconds",
                   str(args.seconds)]
        for viewer in args.viewer:
            command += ["--viewer", viewer]
        output = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    finally:
        shutil.rmtree(data, ignore_errors=True)

    rows = {}
    for line in output.splitlines():
        run, viewer, first, slowest, cpu = line.split("\t")
        rows.setdefault(viewer, []).append((float(first), float(slowest), float(cpu)))
        print(f"run {int(run) + 1}: {os.path.relpath(viewer, ROOT)}: first answer {first} s, "
              f"slowest {slowest} s, CPU {cpu} s", flush=True)
    print(f"\n{args.recordings} recordings, medians of {args.runs} runs, "
          f"{args.seconds:g} s of reads after the first answer:")
    for viewer, values in rows.items():
        first = statistics.median(v[0] for v in values)
        slowest = statistics.median(v[1] for v in values)
        cpu = statistics.median(v[2] for v in values)
        print(f"  {os.path.relpath(viewer, ROOT):32s} first answer {first:6.2f} s (goal <= 5)  "
              f"slowest {slowest:5.2f} s (goal <= 0.5)  CPU {cpu:5.1f} s")


if __name__ == "__main__":
    main()
