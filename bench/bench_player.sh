#!/bin/sh
# Player benchmarks in a release build: throughput against ffmpeg, CPU of real-time playback,
# first-picture latency, sound/picture offset and peak memory, all measured in one run on a
# generated 1080p front + 360p rear recording and a camera-bit-rate one (20 s unless given).
#
# usage: bench/bench_player.sh [SECONDS]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build/bench-player"
seconds="${1:-20}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
      -DTARVEX_WITH_UI=OFF -DTARVEX_BENCH=ON >/dev/null
cmake --build "$build" --target bench_player tarvex-tool -j2 >/dev/null
SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}" "$build/bench/bench_player" --seconds "$seconds"
